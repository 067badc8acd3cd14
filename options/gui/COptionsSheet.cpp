#include "options/gui/COptionsSheet.h"

#include "options/gui/CDecodeOptionsPage.h"
#include "options/gui/CGenOptionsPage.h"
#include "options/gui/CMimeOptionsPage.h"
#include "platform/StringIds.h"

COptionsSheet::COptionsSheet(CSettings& settings, CHive& hive, QWidget* parent)
    : CHelpPropertySheet(ids::kOptions, parent), m_pGeneral(new CGenOptionsPage(settings)),
      m_pDecode(new CDecodeOptionsPage(settings)), m_pMime(new CMimeOptionsPage(hive)) {
    AddPage(m_pGeneral);
    AddPage(m_pDecode);
    AddPage(m_pMime);
}

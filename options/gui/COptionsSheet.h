#pragma once

#include "app/gui/CHelpPropertySheet.h"

struct CSettings;
class CDecodeOptionsPage;
class CGenOptionsPage;
class CHive;
class CMimeOptionsPage;

// The "Options" sheet with the pages General, Decode and Mime, opening on General. The pages
// show copies: `settings` and the MIME table in `hive` change only when the sheet is closed
// with OK (exec() returns QDialog::Accepted), and the caller then saves them.
class COptionsSheet : public CHelpPropertySheet {
    Q_OBJECT

  public:
    COptionsSheet(CSettings& settings, CHive& hive, QWidget* parent = nullptr);

    CGenOptionsPage* GeneralPage() const { return m_pGeneral; }
    CDecodeOptionsPage* DecodePage() const { return m_pDecode; }
    CMimeOptionsPage* MimePage() const { return m_pMime; }

  private:
    CGenOptionsPage* m_pGeneral;
    CDecodeOptionsPage* m_pDecode;
    CMimeOptionsPage* m_pMime;
};

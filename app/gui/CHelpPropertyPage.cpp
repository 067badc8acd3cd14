#include "app/gui/CHelpPropertyPage.h"

#include "app/gui/CContextHelp.h"
#include "platform/CStringTable.h"

CHelpPropertyPage::CHelpPropertyPage(uint32_t templateId, unsigned captionId, QWidget* parent)
    : QWidget(parent), m_nTemplateId(templateId) {
    if (captionId != 0)
        m_strCaption = QString::fromStdString(CStringTable::Load(captionId));
    CContextHelp::Attach(this);
}

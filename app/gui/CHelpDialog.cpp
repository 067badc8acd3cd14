#include "app/gui/CHelpDialog.h"

#include "app/gui/CContextHelp.h"

CHelpDialog::CHelpDialog(uint32_t templateId, QWidget* parent)
    : QDialog(parent), m_nTemplateId(templateId) {
    setWindowFlag(Qt::WindowContextHelpButtonHint);
    CContextHelp::Attach(this);
}

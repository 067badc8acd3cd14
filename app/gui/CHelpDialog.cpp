#include "app/gui/CHelpDialog.h"

#include <QKeyEvent>

#include "app/gui/CContextHelp.h"

CHelpDialog::CHelpDialog(uint32_t templateId, QWidget* parent)
    : QDialog(parent), m_nTemplateId(templateId) {
    setWindowFlag(Qt::WindowContextHelpButtonHint);
}

void CHelpDialog::keyPressEvent(QKeyEvent* event) {
    if (!CContextHelp::HandleHelpKey(this, event))
        QDialog::keyPressEvent(event);
}

void CHelpDialog::showEvent(QShowEvent* event) {
    // Here rather than at construction: derived dialogs add their controls after this base.
    CContextHelp::ApplyWhatsThis(this);
    QDialog::showEvent(event);
}

#pragma once

#include <QDialog>

#include <cstdint>

// The base of the program's dialogs: the caption's question-mark button, and F1 or a click in
// What's This mode on a control shows that control's topic from the help file.
class CHelpDialog : public QDialog {
    Q_OBJECT

  public:
    CHelpDialog(uint32_t templateId, QWidget* parent);

    // The number the dialog is known by (100 the About box, 16 the Logon dialog, ...).
    uint32_t TemplateId() const { return m_nTemplateId; }

  private:
    const uint32_t m_nTemplateId;
};

#pragma once

#include <QString>

#include <string>

#include "app/gui/CHelpDialog.h"

class QLineEdit;

// The "Logon" dialog: asks for the account and password of a server that refused the stored
// ones.
class CLogonDialog : public CHelpDialog {
    Q_OBJECT

  public:
    static constexpr uint32_t kTemplateId = 16;
    static constexpr uint32_t kServerField = 1002;
    static constexpr uint32_t kAccountEdit = 1008;
    static constexpr uint32_t kPasswordEdit = 1009;

    CLogonDialog(const std::string& account, const std::string& password, const std::string& server,
                 QWidget* parent = nullptr);

    // What the fields hold; a field left as it was gives back the bytes it was given.
    std::string Account() const;
    std::string Password() const;

    // Shows the dialog modally with the values filled in and, on OK, stores the values entered
    // in them. The function that CLogonPrompt::Install takes, with the window to centre on.
    static bool Ask(std::string& account, std::string& password, const std::string& server,
                    QWidget* parent);

  private:
    QLineEdit* AddEdit(uint32_t controlId, const std::string& text);

    const std::string m_strAccount;
    const std::string m_strPassword;
    QLineEdit* m_pAccount;
    QLineEdit* m_pPassword;
};

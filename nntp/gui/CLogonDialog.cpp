#include "nntp/gui/CLogonDialog.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/gui/DialogButtons.h"
#include "app/gui/DisplayText.h"
#include "app/gui/EditText.h"
#include "app/gui/HelpIds.h"
#include "app/gui/ResourceIcon.h"

namespace {

constexpr int kIconSize = 32;
constexpr int kEditWidth = 220;

} // namespace

CLogonDialog::CLogonDialog(const std::string& account, const std::string& password,
                           const std::string& server, QWidget* parent)
    : CHelpDialog(kTemplateId, parent), m_strAccount(account), m_strPassword(password),
      m_pAccount(AddEdit(kAccountEdit, account)), m_pPassword(AddEdit(kPasswordEdit, password)) {
    setWindowTitle(QStringLiteral("Logon"));
    m_pPassword->setEchoMode(QLineEdit::Password);

    auto* icon = new QLabel(this);
    icon->setPixmap(ResourceIcon("logon", QStyle::SP_MessageBoxQuestion).pixmap(kIconSize));
    icon->setAlignment(Qt::AlignTop);
    auto* prompt = new QLabel(
        QStringLiteral("Please enter your account and password for\nthe following Server."), this);

    auto* serverName = new QLabel(DisplayText(server), this);
    serverName->setTextFormat(Qt::PlainText);
    SetControlId(serverName, kServerField);
    // 1002 is also the Newsgroups dialog's filter and the server properties' name field.
    SetHelpContextId(serverName, DialogHelpId(kTemplateId, kServerField));

    auto* fields = new QFormLayout;
    fields->setLabelAlignment(Qt::AlignLeft);
    fields->addRow(QStringLiteral("Server:"), serverName);
    fields->addRow(QStringLiteral("&Account:"), m_pAccount);
    fields->addRow(QStringLiteral("&Password:"), m_pPassword);

    auto* text = new QVBoxLayout;
    text->addWidget(prompt);
    text->addSpacing(8);
    text->addLayout(fields);
    auto* body = new QHBoxLayout;
    body->setSpacing(16);
    body->addWidget(icon);
    body->addLayout(text, 1);

    QPushButton* ok = MakeOkButton(this);
    QPushButton* cancel = MakeCancelButton(this);
    connect(ok, &QPushButton::clicked, this, &CLogonDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &CLogonDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addLayout(body);
    layout->addSpacing(8);
    AddButtonRow(layout, {ok, cancel});
    m_pAccount->setFocus();
}

QLineEdit* CLogonDialog::AddEdit(uint32_t controlId, const std::string& text) {
    auto* edit = new QLineEdit(EditText(text), this);
    edit->setMinimumWidth(kEditWidth);
    SetControlId(edit, controlId);
    return edit;
}

std::string CLogonDialog::Account() const {
    return EditedValue(m_pAccount, m_strAccount);
}

std::string CLogonDialog::Password() const {
    return EditedValue(m_pPassword, m_strPassword);
}

bool CLogonDialog::Ask(std::string& account, std::string& password, const std::string& server,
                       QWidget* parent) {
    CLogonDialog dialog(account, password, server, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    account = dialog.Account();
    password = dialog.Password();
    return true;
}

#include "servers/gui/CServerGeneralPage.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdlib>

#include "app/gui/DisplayText.h"
#include "app/gui/EditText.h"
#include "app/gui/HelpIds.h"
#include "app/gui/MessageBoxes.h"
#include "app/gui/ResourceIcon.h"
#include "app/gui/TableText.h"
#include "platform/StringIds.h"

namespace {

constexpr int kIconSize = 32;
constexpr int kEditWidth = 240;

} // namespace

CServerGeneralPage::CServerGeneralPage(std::string& server, CServerRecord::Settings& settings,
                                       QWidget* parent)
    : CHelpPropertyPage(kTemplateId, 0, parent), m_strServer(server), m_settings(settings),
      m_pName(AddEdit(kNameEdit, {})),
      m_pLoginRequired(new QCheckBox(QStringLiteral("This server requires me to &logon"), this)),
      m_pUser(AddEdit(kAccountEdit, settings.strUser)),
      m_pPassword(AddEdit(kPasswordEdit, settings.strPassword)), m_pNameForm(new QFormLayout) {
    SetCaption(QStringLiteral("General"));
    // A name given is only shown: the server keeps the name it was added with.
    m_pName->setText(DisplayText(server));
    m_pName->setEnabled(server.empty());
    m_pPassword->setEchoMode(QLineEdit::Password);
    m_pLoginRequired->setChecked(settings.bLoginRequired);
    SetControlId(m_pLoginRequired, kLogonCheck);
    SetHelpContextId(m_pLoginRequired, DialogHelpId(kTemplateId, kLogonCheck));
    connect(m_pLoginRequired, &QCheckBox::toggled, this, &CServerGeneralPage::EnableLogonFields);
    EnableLogonFields(settings.bLoginRequired);

    auto* icon = new QLabel(this);
    icon->setPixmap(ResourceIcon("server", QStyle::SP_DriveNetIcon).pixmap(kIconSize));
    icon->setAlignment(Qt::AlignTop);
    auto* intro = new QLabel(
        QStringLiteral("The information entered here will be used to access this news server."),
        this);
    intro->setWordWrap(true);
    auto* head = new QHBoxLayout;
    head->setSpacing(12);
    head->addWidget(icon);
    head->addWidget(intro, 1);

    m_pNameForm->addRow(QStringLiteral("&News Server Name:"), m_pName);
    auto* logon = new QGroupBox(QStringLiteral("Logon settings"), this);
    m_pAccountForm = new QFormLayout(logon);
    m_pAccountForm->addRow(QStringLiteral("A&ccount Name:"), m_pUser);
    m_pAccountForm->addRow(QStringLiteral("&Password:"), m_pPassword);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(head);
    layout->addSpacing(8);
    layout->addLayout(m_pNameForm);
    layout->addSpacing(8);
    layout->addWidget(m_pLoginRequired);
    layout->addWidget(logon);
    layout->addStretch();
}

QLineEdit* CServerGeneralPage::AddEdit(uint32_t controlId, const std::string& text) {
    auto* edit = new QLineEdit(EditText(text), this);
    edit->setMinimumWidth(kEditWidth);
    SetControlId(edit, controlId);
    // These IDs name other fields in the Logon dialog and the Newsgroups dialog.
    SetHelpContextId(edit, DialogHelpId(kTemplateId, controlId));
    return edit;
}

void CServerGeneralPage::EnableLogonFields(bool enable) {
    m_pUser->setEnabled(enable);
    m_pPassword->setEnabled(enable);
}

void CServerGeneralPage::showEvent(QShowEvent* event) {
    CHelpPropertyPage::showEvent(event);
    if (!m_bAligned)
        AlignFields();
    if (!isAncestorOf(focusWidget()))
        (m_pName->isEnabled() ? static_cast<QWidget*>(m_pName) : m_pLoginRequired)->setFocus();
}

// The name field and the fields inside the group box start and end at one edge: the labels of
// the form that starts further left widen by the difference, and the name field keeps clear of
// the group box's frame on the right. Only the laid-out page knows the differences.
void CServerGeneralPage::AlignFields() {
    m_bAligned = true;
    const int right =
        m_pName->geometry().right() - m_pUser->mapTo(this, QPoint(m_pUser->width() - 1, 0)).x();
    if (right > 0)
        m_pNameForm->setContentsMargins(0, 0, right, 0);
    const int gap = m_pUser->mapTo(this, QPoint()).x() - m_pName->mapTo(this, QPoint()).x();
    QFormLayout* form = gap > 0 ? m_pNameForm : m_pAccountForm;
    int labelWidth = 0;
    for (int row = 0; row < form->rowCount(); ++row)
        labelWidth =
            std::max(labelWidth, form->itemAt(row, QFormLayout::LabelRole)->sizeHint().width());
    for (int row = 0; row < form->rowCount(); ++row)
        form->itemAt(row, QFormLayout::LabelRole)
            ->widget()
            ->setMinimumWidth(labelWidth + std::abs(gap));
}

std::string CServerGeneralPage::TypedName() const {
    return m_pName->text().trimmed().toStdString();
}

bool CServerGeneralPage::Validate() {
    if (!m_pName->isEnabled())
        return true;
    const std::string name = TypedName();
    if (name.empty())
        return Refuse(TableText(ids::kEnterServerName));
    if (!CServerRecord::IsValidName(name))
        return Refuse(TableText(ids::kInvalidServerName).arg(DisplayText(name)));
    return true;
}

bool CServerGeneralPage::Refuse(const QString& message) {
    ShowMessage(this, QMessageBox::Warning, message);
    m_pName->setFocus();
    m_pName->selectAll();
    return false;
}

void CServerGeneralPage::Apply() {
    if (m_pName->isEnabled())
        m_strServer = TypedName();
    m_settings.bLoginRequired = m_pLoginRequired->isChecked();
    m_settings.strUser = EditedBytes(m_pUser->text(), m_settings.strUser);
    m_settings.strPassword = EditedBytes(m_pPassword->text(), m_settings.strPassword);
}

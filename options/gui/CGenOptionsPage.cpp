#include "options/gui/CGenOptionsPage.h"
#include "app/gui/MessageBoxes.h"
#include "app/gui/TableText.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/gui/EditText.h"
#include "app/gui/HelpIds.h"
#include "options/CSettings.h"
#include "options/gui/CSettingCheckBox.h"
#include "platform/StringIds.h"

namespace {

const CSettingCheckBox::Binding kChecks[] = {
    {CGenOptionsPage::kDeleteFails, "&Delete failed decode files", &CSettings::m_bDeleteFails},
    {CGenOptionsPage::kCheckVer, "&Check for newer versions of Hollowfen Gleanwick",
     &CSettings::m_bCheckVer},
    {CGenOptionsPage::kBackupNewsrc, "Create backup of &newsrc files", &CSettings::m_bBackupNewsrc},
    {CGenOptionsPage::kGroupDirs, "&Place decodes in group directories", &CSettings::m_bGroupDirs},
    {CGenOptionsPage::kLog, "&Generate Logfile", &CSettings::m_bLog},
    {CGenOptionsPage::kAutoStart, "&Auto Start Extract", &CSettings::m_bAutoStart},
    {CGenOptionsPage::kAutoExit, "&Exit when Complete", &CSettings::m_bAutoExit},
};

QString ChooseFolder(QWidget* parent, const QString& current) {
    return QFileDialog::getExistingDirectory(parent, QStringLiteral("Decode Folder"), current,
                                             QFileDialog::ShowDirsOnly);
}

} // namespace

CGenOptionsPage::CGenOptionsPage(CSettings& settings, QWidget* parent)
    : CHelpPropertyPage(kTemplateId, 0, parent), m_settings(settings),
      m_chooseFolder(ChooseFolder) {
    SetCaption(QStringLiteral("General"));
    // Created in the order of the page, which is the order of the Tab key.
    auto* layout = new QVBoxLayout(this);
    for (const CSettingCheckBox::Binding& binding : kChecks) {
        m_checks.push_back(new CSettingCheckBox(binding, settings, this));
        layout->addWidget(m_checks.back());
    }

    m_pDecodeDir = new QLineEdit(EditText(settings.m_DecodeDir), this);
    m_pBrowse = new QPushButton(QStringLiteral("&Browse..."), this);
    SetControlId(m_pDecodeDir, kDecodeDir);
    SetControlId(m_pBrowse, kBrowse);
    connect(m_pBrowse, &QPushButton::clicked, this, &CGenOptionsPage::Browse);
    auto* label = new QLabel(QStringLiteral("Decode &Folder:"), this);
    label->setBuddy(m_pDecodeDir);
    auto* folder = new QHBoxLayout;
    folder->addWidget(m_pDecodeDir, 1);
    folder->addWidget(m_pBrowse);
    layout->addSpacing(8);
    layout->addWidget(label);
    layout->addLayout(folder);
    layout->addStretch();
}

void CGenOptionsPage::Browse() {
    const QString folder = m_chooseFolder(this, m_pDecodeDir->text());
    if (!folder.isEmpty())
        m_pDecodeDir->setText(folder);
}

bool CGenOptionsPage::Validate() {
    if (!m_pDecodeDir->text().trimmed().isEmpty())
        return true;
    ShowMessage(this, QMessageBox::Warning, TableText(ids::kEnterDecodeFolder));
    m_pDecodeDir->setFocus();
    return false;
}

void CGenOptionsPage::Apply() {
    for (const CSettingCheckBox* check : m_checks)
        check->Store(m_settings);
    std::string folder = EditedBytes(m_pDecodeDir->text(), m_settings.m_DecodeDir);
    if (!folder.ends_with('/'))
        folder += '/';
    m_settings.m_DecodeDir = folder;
}

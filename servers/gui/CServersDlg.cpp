#include "servers/gui/CServersDlg.h"

#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

#include "app/gui/CHelpPropertySheet.h"
#include "app/gui/DialogButtons.h"
#include "app/gui/DisplayText.h"
#include "app/gui/HelpIds.h"
#include "app/gui/MessageBoxes.h"
#include "app/gui/ResourceIcon.h"
#include "app/gui/TableText.h"
#include "platform/CProfile.h"
#include "platform/ConnectionErrors.h"
#include "platform/StringIds.h"
#include "servers/CGroupTable.h"
#include "servers/gui/CServerAdvancedPage.h"
#include "servers/gui/CServerGeneralPage.h"
#include "servers/gui/MoveToTrash.h"

namespace {

constexpr int kListWidth = 240;
constexpr int kListHeight = 150;

// The table whose server shares the record of `name` (the hive folds case), or null.
CGroupTable* TableOfRecord(const std::string& name) {
    for (const std::unique_ptr<CGroupTable>& table : g_serverTables) {
        if (CServerRecord::SameRecord(table->m_strName, name))
            return table.get();
    }
    return nullptr;
}

// Moves a file to the trash when it exists. False when it is still there.
bool TrashIfPresent(const QString& path) {
    return !QFileInfo::exists(path) || MoveToTrash(path);
}

} // namespace

CServersDlg::CServersDlg(CProfile& profile, QWidget* parent)
    : CHelpDialog(kTemplateId, parent), m_profile(profile), m_pList(new QListWidget(this)),
      m_pRemove(AddButton(QStringLiteral("&Remove"), kRemoveButton)),
      m_pProperties(AddButton(QStringLiteral("&Properties..."), kPropertiesButton)) {
    setWindowTitle(QStringLiteral("Servers"));
    m_pList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pList->setIconSize(QSize(16, 16));
    m_pList->setMinimumSize(kListWidth, kListHeight);
    SetControlId(m_pList, kServerList);
    SetHelpContextId(m_pList, DialogHelpId(kTemplateId, kServerList));
    for (const std::unique_ptr<CGroupTable>& table : g_serverTables)
        InsertItem(table->m_strName);
    connect(m_pList, &QListWidget::itemSelectionChanged, this, &CServersDlg::OnSelectionChanged);
    connect(m_pList, &QListWidget::itemDoubleClicked, this, &CServersDlg::OnProperties);
    // Nothing is selected yet, so there is nothing to remove or to show.
    OnSelectionChanged();

    QPushButton* add = AddButton(QStringLiteral("A&dd..."), kAddButton);
    connect(add, &QPushButton::clicked, this, &CServersDlg::OnAdd);
    connect(m_pRemove, &QPushButton::clicked, this, &CServersDlg::OnRemove);
    connect(m_pProperties, &QPushButton::clicked, this, &CServersDlg::OnProperties);
    QPushButton* close = AddButton(QStringLiteral("Close"), kCloseButton);
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &CServersDlg::accept);

    auto* group = new QGroupBox(QStringLiteral("News &server(s)"), this);
    auto* buttons = new QVBoxLayout;
    for (QPushButton* button : {add, m_pRemove, m_pProperties})
        buttons->addWidget(button);
    buttons->addStretch();
    auto* inside = new QHBoxLayout(group);
    inside->addWidget(m_pList, 1);
    inside->addLayout(buttons);

    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(group);
    AddButtonRow(layout, {close});
    setTabOrder(m_pList, add);
    setTabOrder(add, m_pRemove);
    setTabOrder(m_pRemove, m_pProperties);
    setTabOrder(m_pProperties, close);
    m_pList->setFocus();
}

QPushButton* CServersDlg::AddButton(const QString& text, uint32_t controlId) {
    auto* button = new QPushButton(text, this);
    button->setAutoDefault(false);
    SetControlId(button, controlId);
    // The Close button's ID is OK's in other dialogs.
    SetHelpContextId(button, DialogHelpId(kTemplateId, controlId));
    return button;
}

// In name order, without regard to case, as a user reads the list.
void CServersDlg::InsertItem(const std::string& name) {
    const QString text = DisplayText(name);
    int row = 0;
    while (row < m_pList->count() &&
           QString::compare(m_pList->item(row)->text(), text, Qt::CaseInsensitive) <= 0)
        ++row;
    auto* item = new QListWidgetItem(ResourceIcon("server", QStyle::SP_DriveNetIcon), text);
    item->setData(Qt::UserRole, QByteArray::fromStdString(name));
    m_pList->insertItem(row, item);
}

QListWidgetItem* CServersDlg::SelectedItem() const {
    const QList<QListWidgetItem*> selected = m_pList->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

std::string CServersDlg::ItemName(const QListWidgetItem* item) {
    return item->data(Qt::UserRole).toByteArray().toStdString();
}

void CServersDlg::OnSelectionChanged() {
    const bool selected = SelectedItem() != nullptr;
    m_pRemove->setEnabled(selected);
    m_pProperties->setEnabled(selected);
}

bool CServersDlg::RunSheet(unsigned captionId, std::string& name,
                           CServerRecord::Settings& settings) {
    CHelpPropertySheet sheet(captionId, this);
    sheet.AddPage(new CServerGeneralPage(name, settings));
    sheet.AddPage(new CServerAdvancedPage(settings));
    return sheet.exec() == QDialog::Accepted;
}

void CServersDlg::OnAdd() {
    std::string name;
    CServerRecord::Settings settings;
    if (!RunSheet(ids::kAddNewsServer, name, settings))
        return;
    CServerRecord(m_profile, name).Write(settings);
    // A server already listed, under this name or one its record shares, only gets the new
    // values: a second table would write over the same .newsrc file.
    if (TableOfRecord(name) != nullptr)
        return;
    std::unique_ptr<CGroupTable> table = LoadNewTable(name);
    InsertItem(name);
    g_serverTables.push_back(std::move(table));
}

std::unique_ptr<CGroupTable> CServersDlg::LoadNewTable(const std::string& name) {
    for (;;) {
        auto table = std::make_unique<CGroupTable>(m_profile, name);
        const std::optional<std::string> failure = Load(*table);
        if (!failure)
            return table;
        const QMessageBox::StandardButton answer =
            ShowMessage(this, QMessageBox::Critical,
                        TableText(ids::kUnableToAccessNewsgroups).arg(DisplayText(name)),
                        QMessageBox::Retry | QMessageBox::Cancel, DisplayText(*failure),
                        ids::kUnableToAccessNewsgroups);
        // Without a retry the server stays with what arrived before the failure.
        if (answer != QMessageBox::Retry)
            return table;
    }
}

std::optional<std::string> CServersDlg::Load(CGroupTable& table) {
    // The download lets events through; nothing here may start another one meanwhile.
    setEnabled(false);
    std::optional<std::string> failure;
    try {
        table.Load();
    } catch (const CUserCancelException&) {
        // The user chose not to log on; the server stays without groups.
    } catch (const std::exception& e) {
        failure = e.what();
    }
    setEnabled(true);
    return failure;
}

void CServersDlg::OnRemove() {
    QListWidgetItem* item = SelectedItem();
    if (item == nullptr)
        return;
    const std::string name = ItemName(item);
    if (ShowMessage(this, QMessageBox::Question,
                    TableText(ids::kConfirmRemoveServer).arg(DisplayText(name)),
                    QMessageBox::Yes | QMessageBox::No, {},
                    ids::kConfirmRemoveServer) != QMessageBox::Yes)
        return;
    delete item;
    // The next server is not selected in its place: Remove stays a deliberate choice.
    m_pList->clearSelection();
    const auto found = std::find_if(
        g_serverTables.begin(), g_serverTables.end(),
        [&name](const std::unique_ptr<CGroupTable>& table) { return table->m_strName == name; });
    if (found != g_serverTables.end()) {
        TrashNewsrcFiles(**found);
        g_serverTables.erase(found);
    }
    CServerRecord::Remove(m_profile.Hive(), name);
}

void CServersDlg::TrashNewsrcFiles(CGroupTable& table) {
    const QString path = QFile::decodeName(QByteArray::fromStdString(table.GetNewsrcPath()));
    for (const QString& file : {path, path + QLatin1String(CGroupTable::kBackupSuffix.data(),
                                                           CGroupTable::kBackupSuffix.size())}) {
        if (!TrashIfPresent(file))
            ShowMessage(this, QMessageBox::Warning, TableText(ids::kNotMovedToTrash).arg(file));
    }
}

void CServersDlg::OnProperties() {
    QListWidgetItem* item = SelectedItem();
    if (item == nullptr)
        return;
    std::string name = ItemName(item);
    CServerRecord record(m_profile, name);
    CServerRecord::Settings settings = record.Read();
    if (RunSheet(ids::kNewsServerProperties, name, settings))
        record.Write(settings);
}

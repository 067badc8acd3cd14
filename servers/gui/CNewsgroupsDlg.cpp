#include "servers/gui/CNewsgroupsDlg.h"

#include <QApplication>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QTabBar>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>
#include <QValidator>

#include <algorithm>
#include <cinttypes>

#include "app/gui/DisplayText.h"
#include "app/gui/HelpIds.h"
#include "app/gui/MessageBoxes.h"
#include "app/gui/ResourceIcon.h"
#include "app/gui/TableText.h"
#include "platform/ConnectionErrors.h"
#include "platform/Diagnostics.h"
#include "platform/StringIds.h"
#include "servers/CGroupTable.h"
#include "servers/gui/CGroupListModel.h"

namespace {

constexpr int kServerIconSize = 32;
constexpr int kGroupIconSize = 16;
constexpr int kServerListWidth = 150;
constexpr QSize kServerCell(140, 64);
constexpr QSize kGroupListSize(340, 300);
constexpr int kTabsGap = 6;
// The server item's table name, as bytes (the text shown may not give them back).
constexpr int kTableNameRole = Qt::UserRole;

// Letters typed or pasted into the filter turn into lower case.
class LowerCaseValidator : public QValidator {
  public:
    using QValidator::QValidator;
    State validate(QString& input, int& /*pos*/) const override {
        input = input.toLower();
        return Acceptable;
    }
};

class WaitCursor {
  public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// Keeps `widget` disabled while it lives and gives the focus back afterwards.
class DisabledScope {
  public:
    explicit DisabledScope(QWidget& widget) : m_widget(widget), m_pFocus(widget.focusWidget()) {
        m_widget.setEnabled(false);
    }
    ~DisabledScope() {
        m_widget.setEnabled(true);
        if (m_pFocus != nullptr)
            m_pFocus->setFocus();
    }
    DisabledScope(const DisabledScope&) = delete;
    DisabledScope& operator=(const DisabledScope&) = delete;

  private:
    QWidget& m_widget;
    QPointer<QWidget> m_pFocus;
};

void SetHelp(QWidget* control, uint32_t id) {
    SetControlId(control, id);
    // Most of these numbers stand for other controls in other dialogs.
    SetHelpContextId(control, DialogHelpId(CNewsgroupsDlg::kTemplateId, id));
}

QLabel* BuddyLabel(const char* text, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(QString::fromLatin1(text), parent);
    label->setBuddy(buddy);
    return label;
}

} // namespace

CNewsgroupsDlg::CNewsgroupsDlg(CProfile& profile, QWidget* parent)
    : CHelpDialog(kTemplateId, parent), m_profile(profile), m_pFilterTimer(new QTimer(this)) {
    setWindowTitle(QStringLiteral("Newsgroups"));
    m_pFilterTimer->setSingleShot(true);
    m_pFilterTimer->setInterval(kFilterDelayMs);
    connect(m_pFilterTimer, &QTimer::timeout, this, &CNewsgroupsDlg::Refresh);

    // Created in the order Tab visits them.
    QWidget* servers = MakeServerList();
    QWidget* filter = MakeFilterEdit();
    QWidget* tabs = MakeTabs();
    QWidget* groups = MakeGroupList();
    m_pSubscribe = MakeButton("&Subscribe", kSubscribe);
    m_pUnsubscribe = MakeButton("&Unsubscribe", kUnsubscribe);
    m_pResetList = MakeButton("Reset &List", kResetList);
    QPushButton* close = MakeButton("Close", kClose);
    close->setEnabled(true);
    close->setDefault(true);
    connect(m_pSubscribe, &QPushButton::clicked, this, [this] { SetSelected(true); });
    connect(m_pUnsubscribe, &QPushButton::clicked, this, [this] { SetSelected(false); });
    connect(m_pResetList, &QPushButton::clicked, this, &CNewsgroupsDlg::OnResetList);
    connect(close, &QPushButton::clicked, this, &CNewsgroupsDlg::accept);

    Arrange(servers, filter, tabs, groups, close);
    AddServers();
}

CNewsgroupsDlg::~CNewsgroupsDlg() = default;

QWidget* CNewsgroupsDlg::MakeServerList() {
    m_pServers = new QListWidget(this);
    SetHelp(m_pServers, kServerList);
    m_pServers->setViewMode(QListView::IconMode);
    m_pServers->setIconSize(QSize(kServerIconSize, kServerIconSize));
    m_pServers->setGridSize(kServerCell);
    m_pServers->setMovement(QListView::Static);
    m_pServers->setResizeMode(QListView::Adjust);
    m_pServers->setWordWrap(true);
    m_pServers->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pServers->setSortingEnabled(true);
    m_pServers->setFixedWidth(kServerListWidth);
    connect(m_pServers, &QListWidget::itemSelectionChanged, this,
            &CNewsgroupsDlg::OnServerSelectionChanged);
    return m_pServers;
}

QWidget* CNewsgroupsDlg::MakeFilterEdit() {
    m_pFilter = new QLineEdit(this);
    SetHelp(m_pFilter, kFilterEdit);
    m_pFilter->setValidator(new LowerCaseValidator(m_pFilter));
    m_pFilter->installEventFilter(this);
    connect(m_pFilter, &QLineEdit::textChanged, this, [this] { m_pFilterTimer->start(); });
    return m_pFilter;
}

QWidget* CNewsgroupsDlg::MakeTabs() {
    m_pTabs = new QTabBar(this);
    SetHelp(m_pTabs, kTabs);
    m_pTabs->setDrawBase(false);
    m_pTabs->setExpanding(false);
    for (const unsigned id : {ids::kTabAll, ids::kTabSubscribed, ids::kTabNew})
        m_pTabs->addTab(TableText(id));
    connect(m_pTabs, &QTabBar::currentChanged, this, &CNewsgroupsDlg::Refresh);
    return m_pTabs;
}

QWidget* CNewsgroupsDlg::MakeGroupList() {
    m_pModel = new CGroupListModel(this);
    m_pGroups = new QTreeView(this);
    SetHelp(m_pGroups, kGroupList);
    m_pGroups->setModel(m_pModel);
    m_pGroups->setRootIsDecorated(false);
    m_pGroups->setItemsExpandable(false);
    m_pGroups->setExpandsOnDoubleClick(false);
    // Every row is one line high: the view then measures one row instead of all of them.
    m_pGroups->setUniformRowHeights(true);
    m_pGroups->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_pGroups->setIconSize(QSize(kGroupIconSize, kGroupIconSize));
    // Names of one hierarchy differ at their ends.
    m_pGroups->setTextElideMode(Qt::ElideMiddle);
    m_pGroups->setMinimumSize(kGroupListSize);
    m_pGroups->header()->setSectionsClickable(false);
    m_pGroups->header()->setSectionsMovable(false);
    m_pGroups->header()->setStretchLastSection(true);
    connect(m_pGroups->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CNewsgroupsDlg::OnItemChangedNewsgroups);
    connect(m_pGroups, &QTreeView::doubleClicked, this, &CNewsgroupsDlg::OnDoubleClick);
    return m_pGroups;
}

QPushButton* CNewsgroupsDlg::MakeButton(const char* text, uint32_t id) {
    auto* button = new QPushButton(QString::fromLatin1(text), this);
    SetHelp(button, id);
    button->setAutoDefault(false);
    button->setEnabled(false);
    return button;
}

// The servers at the left; right of them the filter, the tabs over the group list, and a
// column of buttons with Close at its foot.
void CNewsgroupsDlg::Arrange(QWidget* servers, QWidget* filter, QWidget* tabs, QWidget* groups,
                             QPushButton* close) {
    auto* layout = new QGridLayout(this);
    layout->addWidget(BuddyLabel("&News servers:", servers, this), 0, 0);
    layout->addWidget(servers, 1, 0, 3, 1);
    layout->addWidget(BuddyLabel("&Display newsgroups which contain:", filter, this), 0, 1);
    layout->addWidget(filter, 1, 1);
    auto* list = new QVBoxLayout;
    list->setSpacing(0);
    list->addSpacing(kTabsGap);
    list->addWidget(tabs);
    list->addWidget(groups, 1);
    layout->addLayout(list, 2, 1, 2, 1);
    auto* buttons = new QVBoxLayout;
    buttons->addSpacing(kTabsGap + tabs->sizeHint().height());
    for (QPushButton* button : {m_pSubscribe, m_pUnsubscribe, m_pResetList})
        buttons->addWidget(button);
    buttons->addStretch();
    buttons->addWidget(close);
    layout->addLayout(buttons, 2, 2, 2, 1);
    layout->setColumnStretch(1, 1);
    layout->setRowStretch(3, 1);
}

void CNewsgroupsDlg::AddServers() {
    const QIcon icon = ResourceIcon("server", QStyle::SP_DriveNetIcon);
    for (const std::unique_ptr<CGroupTable>& table : g_serverTables) {
        auto* item = new QListWidgetItem(icon, DisplayText(table->m_strName));
        item->setData(kTableNameRole, QByteArray::fromStdString(table->m_strName));
        m_pServers->addItem(item);
    }
    if (m_pServers->count() > 0)
        m_pServers->setCurrentRow(0);
}

void CNewsgroupsDlg::SetFilterDelay(int milliseconds) {
    m_pFilterTimer->setInterval(milliseconds);
}

void CNewsgroupsDlg::done(int result) {
    if (m_bFetching)
        return;
    m_pFilterTimer->stop();
    CHelpDialog::done(result);
}

bool CNewsgroupsDlg::eventFilter(QObject* watched, QEvent* event) {
    // Leaving the filter applies a text still waiting for the timer.
    if (watched == m_pFilter && event->type() == QEvent::FocusOut && m_pFilterTimer->isActive())
        Refresh();
    // Enter in the filter applies it at once rather than pressing Close, the default button:
    // someone who has just typed a filter wants to see it work.
    if (watched == m_pFilter && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            Refresh();
            return true;
        }
    }
    return CHelpDialog::eventFilter(watched, event);
}

CGroupTable* CNewsgroupsDlg::SelectedTable() const {
    const QList<QListWidgetItem*> selected = m_pServers->selectedItems();
    if (selected.isEmpty())
        return nullptr;
    return FindServerTable(selected.front()->data(kTableNameRole).toByteArray().toStdString());
}

void CNewsgroupsDlg::OnServerSelectionChanged() {
    const bool selected = !m_pServers->selectedItems().isEmpty();
    m_pResetList->setEnabled(selected);
    if (selected)
        Refresh();
    else
        m_pModel->Clear();
}

void CNewsgroupsDlg::Refresh() {
    for (;;) {
        m_pFilterTimer->stop();
        m_pModel->Clear();
        CGroupTable* table = SelectedTable();
        if (table == nullptr)
            return;
        const int tab = m_pTabs->currentIndex();
        if (tab == CGroupListModel::kNew && !FetchNewGroups(*table))
            continue;
        const WaitCursor wait;
        m_pModel->Fill(*table, tab, m_pFilter->text().toUtf8().toStdString());
        return;
    }
}

bool CNewsgroupsDlg::FetchNewGroups(CGroupTable& table) {
    try {
        table.FetchNewGroups();
    } catch (const CUserCancelException&) {
        // The user closed the logon prompt: nothing to say.
    } catch (const std::exception&) {
        return !AskRetry(table.m_strName);
    }
    return true;
}

void CNewsgroupsDlg::OnItemChangedNewsgroups(const QItemSelection& selected,
                                             const QItemSelection& deselected) {
    DebugTrace(1, "Entering OnItemChangedNewsgroups, pNMListView = 0x%08" PRIXPTR "\n",
               reinterpret_cast<uintptr_t>(&selected));
    DebugTrace(1, "OnItemChangedNewsgroups: State is changed.\n");
    if (!deselected.isEmpty()) {
        DebugTrace(1, "OnItemChangedNewsgroups: Deselect.\n");
        if (!m_pGroups->selectionModel()->hasSelection()) {
            DebugTrace(1, "OnItemChangedNewsgroups: Selection is empty.\n");
            m_pSubscribe->setEnabled(false);
            m_pUnsubscribe->setEnabled(false);
        }
    }
    if (!selected.isEmpty()) {
        DebugTrace(1, "OnItemChangedNewsgroups: Select.\n");
        m_pSubscribe->setEnabled(true);
        m_pUnsubscribe->setEnabled(true);
    }
    DebugTrace(1, "Leaving OnItemChangedNewsgroups.\n");
}

void CNewsgroupsDlg::SetSelected(bool subscribed) {
    m_pModel->SetSubscribed(m_pGroups->selectionModel()->selection(), subscribed);
}

void CNewsgroupsDlg::OnDoubleClick() {
    const QModelIndex focused = m_pGroups->currentIndex();
    if (focused.isValid())
        m_pModel->ToggleSubscribed(focused.row());
}

void CNewsgroupsDlg::OnResetList() {
    // A filter still waiting for its timer applies now, not in the middle of the fetch.
    if (m_pFilterTimer->isActive())
        Refresh();
    for (bool retry = true; retry;) {
        const CGroupTable* old = SelectedTable();
        if (old == nullptr)
            return;
        std::unique_ptr<CGroupTable> fresh = FetchFullList(*old, retry);
        if (fresh) {
            ReplaceTable(*old, std::move(fresh));
            Refresh();
            return;
        }
    }
}

std::unique_ptr<CGroupTable> CNewsgroupsDlg::FetchFullList(const CGroupTable& old, bool& retry) {
    retry = false;
    auto fresh = std::make_unique<CGroupTable>(m_profile, old.m_strName);
    try {
        // Events are handled between the reply lines; another Reset List or Close then would
        // destroy the table the fetch merges from.
        const QScopedValueRollback<bool> fetching(m_bFetching, true);
        const DisabledScope disabled(*this);
        fresh->FetchFullList(&old);
    } catch (const CUserCancelException&) {
        return nullptr;
    } catch (const std::exception&) {
        retry = AskRetry(old.m_strName);
        return nullptr;
    }
    return fresh;
}

// The new table takes the old one's place in the list of servers.
void CNewsgroupsDlg::ReplaceTable(const CGroupTable& old, std::unique_ptr<CGroupTable> fresh) {
    const auto place = std::find_if(g_serverTables.begin(), g_serverTables.end(),
                                    [&old](const auto& table) { return table.get() == &old; });
    if (place == g_serverTables.end())
        return;
    // The rows point into the old table.
    m_pModel->Clear();
    *place = std::move(fresh);
}

bool CNewsgroupsDlg::AskRetry(const std::string& server) {
    return ShowMessage(this, QMessageBox::Critical,
                       TableText(ids::kUnableToAccessNewsgroups).arg(DisplayText(server)),
                       QMessageBox::Retry | QMessageBox::Cancel, {},
                       ids::kUnableToAccessNewsgroups) == QMessageBox::Retry;
}

#include "mainwnd/CMainFrame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QIcon>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QSplitter>
#include <QStatusTipEvent>
#include <QThread>
#include <QTimer>
#include <QToolBar>

#include "app/CMainApp.h"
#include "app/gui/CAboutDialog.h"
#include "app/gui/CContextHelp.h"
#include "app/gui/CHelpTopicsWindow.h"
#include "app/gui/HelpIds.h"
#include "app/gui/TableText.h"
#include "engine/CExtractionRun.h"
#include "mainwnd/CCommandTable.h"
#include "mainwnd/CMainStatusBar.h"
#include "mainwnd/COutputList.h"
#include "mainwnd/COutputWindow.h"
#include "mainwnd/CSplashWindow.h"
#include "mainwnd/CSplit2.h"
#include "mainwnd/CStatusWnd.h"
#include "nntp/CLogonPrompt.h"
#include "options/CSettings.h"
#include "options/gui/CKillFileDlg.h"
#include "options/gui/COptionsSheet.h"
#include "platform/CProfile.h"
#include "platform/StringIds.h"
#include "servers/CGroupTable.h"
#include "servers/gui/CNewsgroupsDlg.h"
#include "servers/gui/CServersDlg.h"

namespace {

constexpr char kBarsSummary[] = "Bars-Summary";
constexpr char kToolBarSection[] = "Bars-Bar0";
constexpr char kStatusBarSection[] = "Bars-Bar1";

// Show commands as stored in "m_uShow".
constexpr uint32_t kShowNormal = 1;
constexpr uint32_t kShowMinimized = 2;
constexpr uint32_t kShowMaximized = 3;

QString MainTitle() {
    const QString title = TableText(ids::kMainTitle);
    return title.left(title.indexOf('\n'));
}

} // namespace

CMainFrame::CMainFrame(CMainApp& app, NewsConnectionFactory factory) : m_app(app) {
    setObjectName(QStringLiteral("Q5528461"));
    setWindowTitle(MainTitle());
    setWindowIcon(QIcon(QStringLiteral(":/icons/gleanwick.svg")));
    m_rcNormal = DefaultNormalRect();
    setGeometry(m_rcNormal);

    CreateCommands();
    CreateMenus();
    CreateToolBar();
    m_pStatusBar = new CMainStatusBar(this);
    setStatusBar(m_pStatusBar);
    // The toolbar's rules are evaluated at idle time too, as the server tables may change
    // under them (start-up loads them after the window exists).
    connect(m_pStatusBar, &CMainStatusBar::Ticked, this, [this] { m_pCommands->Update(); });
    CSplashWindow::ShowSplashScreen(this);
    CreatePanes();

    SetHelpTopics();

    m_pRun = std::make_unique<CExtractionRun>(
        app.Profile(), g_serverTables, app.Settings(), app.KillRules(), std::move(factory),
        *m_pLogList, *m_pArticleList, *m_pStatusWnd, *this, app.ProgramFolderPath());
    m_pCommands->Update();
}

CMainFrame::~CMainFrame() {
    // The run goes first: it still writes into the panes while it closes.
    m_pRun.reset();
}

// ---------------------------------------------------------------------------------------------
// Commands

bool CMainFrame::IsRunning() const {
    return m_pRun && m_pRun->IsRunning();
}

void CMainFrame::CreateCommands() {
    m_pCommands = new CCommandTable(this);
    CCommandTable& table = *m_pCommands;
    const auto idle = [this] { return !IsRunning(); };
    const auto selected = [this] { return m_pArticleList && m_pArticleList->HasSelection(); };

    table.Add(
        kExtract, QStringLiteral("&Extract\tCtrl+E"), QStringLiteral(":/icons/extract.svg"),
        [this] { ToggleRun(0); }, [this] { return IsRunning() || m_pRun->CanStartExtract(); });
    table.SetAlternate(
        kExtract, [this] { return IsRunning(); }, TableText(ids::kStopExtracting),
        QStringLiteral(":/icons/stop.svg"));
    table.Add(
        kCatchUpGroups, QStringLiteral("Catch-up &Groups"), QStringLiteral(":/icons/catchup.svg"),
        [this] { ToggleRun(1); }, idle);
    table.Add(
        kNewsgroups, QStringLiteral("&Newsgroups...\tCtrl+N"),
        QStringLiteral(":/icons/newsgroups.svg"), [this] { ShowNewsgroups(); },
        [this] { return !IsRunning() && !g_serverTables.empty(); });
    table.Add(
        kServers, QStringLiteral("Ser&vers...\tCtrl+V"), QStringLiteral(":/icons/servers.svg"),
        [this] { ShowServers(); }, idle);
    table.Add(
        kKills, QStringLiteral("&Kills...\tCtrl+K"), QStringLiteral(":/icons/kills.svg"),
        [this] { ShowKillFile(); }, idle);
    table.Add(
        kCatchUpCurrentGroup, QStringLiteral("&Catch-up Current Group"),
        QStringLiteral(":/icons/catchup-group.svg"), [this] { m_pRun->CatchUpCurrentGroup(); },
        [this] { return IsRunning() && !m_pRun->IsCatchUp(); });
    table.Add(
        kKillAuthor, QStringLiteral("Kill Author\tCtrl+A"),
        QStringLiteral(":/icons/kill-author.svg"), [this] { AddKillRule(0); }, selected);
    table.Add(
        kKillFilename, QStringLiteral("Kill &Filename\tCtrl+F"),
        QStringLiteral(":/icons/kill-filename.svg"), [this] { AddKillRule(2); }, selected);
    table.Add(
        kKillSubject, QStringLiteral("Kill &Subject\tCtrl+S"),
        QStringLiteral(":/icons/kill-subject.svg"), [this] { AddKillRule(1); }, selected);
    table.Add(
        kOptions, QStringLiteral("&Options..."), QStringLiteral(":/icons/options.svg"),
        [this] { ShowOptions(); }, idle);
    table.Add(kExit, QStringLiteral("E&xit"), QStringLiteral(":/icons/exit.svg"),
              [this] { close(); });
    table.Add(
        kViewToolbar, QStringLiteral("&Toolbar"), {},
        [this] { m_pToolBar->setVisible(m_pToolBar->isHidden()); }, nullptr,
        [this] { return !m_pToolBar->isHidden(); });
    table.Add(
        kViewStatusBar, QStringLiteral("&Status Bar"), {},
        [this] { m_pStatusBar->setVisible(m_pStatusBar->isHidden()); }, nullptr,
        [this] { return !m_pStatusBar->isHidden(); });
    table.Add(kHelpTopics, QStringLiteral("&Help Topics\tF1"),
              QStringLiteral(":/icons/help-topics.svg"),
              [this] { CHelpTopicsWindow::ShowHelpTopics(this); });
    table.Add(kContextHelp, QStringLiteral("&Context Sensitive\tShift+F1"),
              QStringLiteral(":/icons/context-help.svg"),
              [] { CContextHelp::EnterContextHelpMode(); });
    table.Add(kAbout, QStringLiteral("&About Hollowfen Gleanwick..."),
              QStringLiteral(":/icons/about.svg"), [this] {
                  CAboutDialog about(this);
                  about.exec();
              });
    // The window's shortcuts work wherever the focus is inside it.
    for (const unsigned id : {kExtract, kNewsgroups, kServers, kKills, kKillAuthor, kKillFilename,
                              kKillSubject, kHelpTopics, kContextHelp})
        addAction(table.Action(id));
}

void CMainFrame::CreateMenus() {
    const CCommandTable& table = *m_pCommands;
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    table.AddToMenu(file, {kExit});
    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    table.AddToMenu(view, {kViewToolbar, kViewStatusBar});
    QMenu* news = menuBar()->addMenu(QStringLiteral("&News"));
    table.AddToMenu(news, {kExtract, kCatchUpGroups, 0, kNewsgroups, kServers, kKills, 0,
                           kCatchUpCurrentGroup, 0, kKillAuthor, kKillFilename, kKillSubject, 0,
                           kOptions});
    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    table.AddToMenu(help, {kHelpTopics, kContextHelp, 0, kAbout});
    // The article list's right-click menu.
    m_pKillMenu = new QMenu(QStringLiteral("Kill"), this);
    table.AddToMenu(m_pKillMenu, {kKillAuthor, kKillFilename, kKillSubject});
    for (QMenu* menu : {file, view, news, help, m_pKillMenu})
        WatchMenu(menu);
}

void CMainFrame::WatchMenu(QMenu* menu) {
    connect(menu, &QMenu::aboutToShow, this, [this] {
        m_pCommands->Update();
        m_pStatusBar->SetMenuOpen(true);
    });
    connect(menu, &QMenu::aboutToHide, this, [this] { m_pStatusBar->SetMenuOpen(false); });
}

void CMainFrame::CreateToolBar() {
    m_pToolBar = new QToolBar(QStringLiteral("Toolbar"), this);
    m_pToolBar->setObjectName(QStringLiteral("59392"));
    m_pToolBar->setIconSize(QSize(24, 24));
    m_pCommands->AddToToolBar(m_pToolBar,
                              {kExtract, 0, kNewsgroups, kServers, kKills, 0, kCatchUpCurrentGroup,
                               0, kKillAuthor, kKillSubject, kKillFilename, 0, kOptions, 0,
                               kHelpTopics, kContextHelp});
    addToolBar(Qt::TopToolBarArea, m_pToolBar);
}

void CMainFrame::CreatePanes() {
    m_pSplitter = new QSplitter(Qt::Vertical, this);
    m_pSplitter->setChildrenCollapsible(false);
    m_pSplit2 = new CSplit2(m_pSplitter);
    m_pArticleList = new COutputWindow(m_pSplitter);
    m_pSplitter->addWidget(m_pSplit2);
    m_pSplitter->addWidget(m_pArticleList);
    // The top row keeps its height when the window grows; the article list takes the rest.
    m_pSplitter->setStretchFactor(0, 0);
    m_pSplitter->setStretchFactor(1, 1);
    setCentralWidget(m_pSplitter);
    m_pLogList = m_pSplit2->LogList();
    m_pStatusWnd = m_pSplit2->StatusWindow();
    m_pLogList->setFont(m_pArticleList->font());
    m_pArticleList->SetContextMenu(m_pKillMenu);
    connect(m_pArticleList, &COutputWindow::SelectionChanged, this,
            [this] { m_pCommands->Update(); });
}

void CMainFrame::SetHelpTopics() {
    for (const unsigned id :
         {kServers, kNewsgroups, kExtract, kOptions, kKills, kCatchUpGroups, kCatchUpCurrentGroup,
          kKillAuthor, kKillSubject, kKillFilename, kAbout, kExit, kHelpTopics, kContextHelp,
          kViewToolbar, kViewStatusBar})
        CContextHelp::SetHelpTopic(m_pCommands->Action(id), id);
    CContextHelp::SetHelpTopic(m_pToolBar, kViewToolbar);
    CContextHelp::SetHelpTopic(m_pStatusBar, kViewStatusBar);
    CContextHelp::SetHelpTopic(m_pLogList, helpids::kLogList);
    CContextHelp::SetHelpTopic(m_pStatusWnd, helpids::kProgressPanel);
    CContextHelp::SetHelpTopic(m_pArticleList, helpids::kArticleList);
}

void CMainFrame::ToggleRun(int mode) {
    // Extract also stops a catch-up run, which keeps its own mode while it stops.
    m_pRun->StartOrStop(IsRunning() && m_pRun->IsCatchUp() ? 1 : mode);
}

void CMainFrame::AddKillRule(int field) {
    // The field's column in the article list: Author, Subject, FileName.
    static constexpr int kColumnOfField[] = {2, 3, 0};
    const std::string text = m_pArticleList->SelectedText(kColumnOfField[field]);
    m_app.KillRules().push_back({field, text});
    m_pLogList->AddMessage(ids::kAddingKillRule + static_cast<unsigned>(field), text);
}

void CMainFrame::ShowNewsgroups() {
    CNewsgroupsDlg dialog(m_app.Profile(), this);
    dialog.exec();
    SaveAfterDialog();
}

void CMainFrame::ShowServers() {
    CServersDlg dialog(m_app.Profile(), this);
    dialog.exec();
    SaveAfterDialog();
}

void CMainFrame::ShowKillFile() {
    CKillFileDlg dialog(m_app.KillRules(), this);
    dialog.exec();
    SaveAfterDialog();
}

void CMainFrame::ShowOptions() {
    COptionsSheet sheet(m_app.Settings(), m_app.Hive(), this);
    if (sheet.exec() == QDialog::Accepted)
        SaveAfterDialog();
}

void CMainFrame::SaveAfterDialog() {
    SaveSettings(false);
    CGroupTable* table = FindServerTable(m_pRun->LastServerName());
    if (table == nullptr)
        return;
    try {
        table->Save();
    } catch (const std::exception& e) {
        ReportProblem(e.what());
    }
}

void CMainFrame::PostCommand(unsigned id) {
    m_pCommands->Post(id);
}

void CMainFrame::OnRunStateChanged(bool running) {
    m_pCommands->Update();
    if (!running && !m_pRun->StopReason().empty())
        ReportProblem(m_pRun->StopReason());
}

bool CMainFrame::LogonPrompt(const std::string& server) {
    return CLogonPrompt::Run(m_app.Profile(), server);
}

bool CMainFrame::RequestAutoStart(bool force) {
    if (!force && !m_app.Settings().m_bAutoStart)
        return false;
    PostCommand(kExtract);
    return true;
}

void CMainFrame::ReportProblem(const std::string& message) {
    if (!m_reported.insert(message).second)
        return;
    const QString text = QString::fromStdString(message);
    const auto show = [this, text] { QMessageBox::critical(this, MainTitle(), text); };
    // Inside the event loop a run may be in the middle of a step: the box waits its turn.
    if (QThread::currentThread()->loopLevel() > 0)
        QTimer::singleShot(0, this, show);
    else
        show();
}

// ---------------------------------------------------------------------------------------------
// Window events

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (IsRunning())
        ToggleRun(0);
    SaveWindowValues();
    event->accept();
}

bool CMainFrame::event(QEvent* event) {
    switch (event->type()) {
    case QEvent::StatusTip:
        m_pStatusBar->ShowPrompt(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    case QEvent::EnterWhatsThisMode:
        m_pStatusBar->SetContextHelpMode(true);
        break;
    case QEvent::LeaveWhatsThisMode:
        m_pStatusBar->SetContextHelpMode(false);
        break;
    default:
        break;
    }
    return QMainWindow::event(event);
}

// ---------------------------------------------------------------------------------------------
// Placement and persistence

QRect CMainFrame::DefaultNormalRect() const {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return QRect(0, 0, 1024, 700);
    const QRect area = screen->availableGeometry();
    const QSize size(area.width() * 4 / 5, area.height() * 4 / 5);
    return QRect(area.center() - QPoint(size.width() / 2, size.height() / 2), size);
}

bool CMainFrame::RestorePlacement() {
    m_pCommands->Update();
    setGeometry(m_rcNormal);
    switch (m_uShow) {
    case kShowMaximized:
        showMaximized();
        break;
    case kShowMinimized:
    case 6: // minimise
    case 7: // show minimised without activating
        showMinimized();
        break;
    default:
        showNormal();
        break;
    }
    // The stored top-row height needs the window's real size.
    if (m_nSplitTop != 0) {
        const int total = m_pSplitter->height();
        m_pSplitter->setSizes({m_nSplitTop, std::max(1, total - m_nSplitTop)});
    }
    return true;
}

void CMainFrame::SaveSettings(bool load) {
    ExchangeWindowValues(load);
    if (!load)
        m_app.SaveSettings();
}

void CMainFrame::SaveSettings() {
    SaveSettings(false);
}

void CMainFrame::SaveWindowValues() {
    ExchangeWindowValues(false);
}

void CMainFrame::ExchangeWindowValues(bool load) {
    ExchangePlacement(load);
    ExchangeBars(load);
    ExchangeSplitter(load);
    m_pSplit2->SaveSettings(load, m_app.Profile());
    m_pArticleList->SaveSettings(load, m_app.Profile());
}

void CMainFrame::ExchangePlacement(bool load) {
    CProfile& profile = m_app.Profile();
    if (!load) {
        m_uShow = isMinimized() ? kShowMinimized : isMaximized() ? kShowMaximized : kShowNormal;
        m_rcNormal = (isMinimized() || isMaximized()) ? normalGeometry() : geometry();
        if (!m_rcNormal.isValid())
            m_rcNormal = geometry();
    }
    int32_t left = m_rcNormal.left();
    int32_t top = m_rcNormal.top();
    int32_t right = m_rcNormal.left() + m_rcNormal.width();
    int32_t bottom = m_rcNormal.top() + m_rcNormal.height();
    struct Value {
        const char* name;
        int32_t* member;
    };
    const Value values[] = {{"m_rcNormal.left", &left},
                            {"m_rcNormal.top", &top},
                            {"m_rcNormal.right", &right},
                            {"m_rcNormal.bottom", &bottom}};
    for (const Value& value : values) {
        if (load)
            *value.member = static_cast<int32_t>(profile.GetProfileInt(
                CSettings::kSection, value.name, static_cast<uint32_t>(*value.member)));
        else
            profile.WriteProfileInt(CSettings::kSection, value.name,
                                    static_cast<uint32_t>(*value.member));
    }
    if (!load) {
        profile.WriteProfileInt(CSettings::kSection, "m_uShow", m_uShow);
        return;
    }
    m_uShow = profile.GetProfileInt(CSettings::kSection, "m_uShow", kShowNormal);
    // A rectangle turned inside out by a hand-edited file keeps the default size.
    if (right > left && bottom > top)
        m_rcNormal = QRect(left, top, right - left, bottom - top);
}

void CMainFrame::ExchangeBars(bool load) {
    CProfile& profile = m_app.Profile();
    if (load) {
        if (profile.GetProfileInt(kBarsSummary, "Bars", 0) == 0)
            return;
        m_pToolBar->setVisible(profile.GetProfileInt(kToolBarSection, "Visible", 1) != 0);
        const auto area = static_cast<Qt::ToolBarArea>(
            profile.GetProfileInt(kToolBarSection, "Docking", Qt::TopToolBarArea));
        if (area == Qt::LeftToolBarArea || area == Qt::RightToolBarArea ||
            area == Qt::TopToolBarArea || area == Qt::BottomToolBarArea)
            addToolBar(area, m_pToolBar);
        m_pStatusBar->setVisible(profile.GetProfileInt(kStatusBarSection, "Visible", 1) != 0);
        m_pCommands->Update();
        return;
    }
    const QScreen* screen = QGuiApplication::primaryScreen();
    profile.WriteProfileInt(kBarsSummary, "Bars", 2);
    profile.WriteProfileInt(kBarsSummary, "ScreenCX", screen ? screen->size().width() : 0);
    profile.WriteProfileInt(kBarsSummary, "ScreenCY", screen ? screen->size().height() : 0);
    profile.WriteProfileInt(kToolBarSection, "BarID", kViewToolbar);
    profile.WriteProfileInt(kToolBarSection, "Visible", m_pToolBar->isHidden() ? 0 : 1);
    profile.WriteProfileInt(kToolBarSection, "Horz",
                            m_pToolBar->orientation() == Qt::Horizontal ? 1 : 0);
    profile.WriteProfileInt(kToolBarSection, "Docking", toolBarArea(m_pToolBar));
    profile.WriteProfileInt(kStatusBarSection, "BarID", kViewStatusBar);
    profile.WriteProfileInt(kStatusBarSection, "Visible", m_pStatusBar->isHidden() ? 0 : 1);
}

void CMainFrame::ExchangeSplitter(bool load) {
    CProfile& profile = m_app.Profile();
    if (load) {
        // A stored 0 leaves the layout alone.
        m_nSplitTop = static_cast<int>(profile.GetProfileInt(CSettings::kSection, "nSplitTop", 0));
        return;
    }
    const QList<int> sizes = m_pSplitter->sizes();
    const int top = isVisible() && !sizes.isEmpty() ? sizes.first() : m_nSplitTop;
    profile.WriteProfileInt(CSettings::kSection, "nSplitTop", static_cast<uint32_t>(top));
}

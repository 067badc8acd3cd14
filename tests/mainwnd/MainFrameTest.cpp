// The main window: the command rules and texts in and out of runs, commands that arrive
// without a control, placement and pane values through the hive, the Kill commands, close
// and "Exit when Complete".
#include <QApplication>

#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QSplitter>
#include <QStatusTipEvent>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "app/CMainApp.h"
#include "app/TestHome.h"
#include "engine/CExtractionRun.h"
#include "engine/ScriptedConnection.h"
#include "mainwnd/CCommandTable.h"
#include "mainwnd/CMainFrame.h"
#include "mainwnd/CMainStatusBar.h"
#include "mainwnd/COutputList.h"
#include "mainwnd/COutputWindow.h"
#include "mainwnd/PaneRefresh.h"
#include "servers/CGroupTable.h"
#include "support/TestApplication.h"

using ::testing::ElementsAre;

namespace {

using F = CMainFrame;

class MainFrameTest : public ::testing::Test {
  protected:
    MainFrameTest() { TestApplication<QApplication>(); }
    ~MainFrameTest() override {
        frame.reset();
        app.ExitInstance();
    }

    // Starts the program with the given servers (each with one subscribed group unless
    // `subscribed` is false) and settings rows.
    void Start(const std::vector<std::string>& servers, const std::string& settings = {},
               bool subscribed = true) {
        home.Write("HKCU.reg", HiveText(servers, settings));
        for (const std::string& name : servers)
            home.Write(name + ".newsrc",
                       std::string("alt.bin") + (subscribed ? ":" : "!") + " 5\n");
        app.InitInstance(0);
        frame = std::make_unique<CMainFrame>(app, server.Factory());
    }
    bool Enabled(unsigned id) {
        frame->Commands().Update();
        return frame->Commands().Action(id)->isEnabled();
    }
    QString MenuText(unsigned id) { return frame->Commands().Action(id)->text(); }
    // The log list's lines once the lines waiting for the next batch are shown.
    std::vector<std::string> LogLines() {
        QTest::qWait(static_cast<int>(kPaneRefreshInterval.count()) + 60);
        const QAbstractItemModel* log = frame->GetLogList()->model();
        std::vector<std::string> lines;
        for (int row = 0; row < log->rowCount(); ++row)
            lines.push_back(log->index(row, 0).data().toString().toStdString());
        return lines;
    }
    // A run that has connected and waits for the greeting.
    void StartRunThatWaits(int mode = 0) {
        server.Accept("news.example");
        ASSERT_TRUE(frame->Commands().Execute(mode == 0 ? F::kExtract : F::kCatchUpGroups));
        server.Play(frame->Run());
        ASSERT_TRUE(frame->Run().IsRunning());
    }
    void StopRun() {
        server.Quit();
        ASSERT_TRUE(frame->Commands().Execute(F::kExtract));
        server.Play(frame->Run());
        EXPECT_TRUE(server.Done());
    }

    TestHome home;
    std::ostringstream err;
    CMainApp app{err};
    ScriptedServer server;
    std::unique_ptr<CMainFrame> frame;
};

TEST_F(MainFrameTest, WithoutServersOnlyTheCommandsThatNeedNoneAreEnabled) {
    Start({});
    EXPECT_FALSE(Enabled(F::kExtract));
    EXPECT_FALSE(Enabled(F::kNewsgroups));
    EXPECT_FALSE(Enabled(F::kCatchUpCurrentGroup));
    for (const unsigned id : {F::kServers, F::kKills, F::kOptions, F::kCatchUpGroups, F::kExit,
                              F::kAbout, F::kHelpTopics, F::kContextHelp})
        EXPECT_TRUE(Enabled(id)) << id;
    for (const unsigned id : {F::kKillAuthor, F::kKillFilename, F::kKillSubject})
        EXPECT_FALSE(Enabled(id)) << id;
    EXPECT_EQ(MenuText(F::kExtract), "&Extract");
    EXPECT_EQ(frame->Commands().Action(F::kExtract)->shortcut(), QKeySequence("Ctrl+E"));
    EXPECT_EQ(frame->windowTitle(), "Hollowfen Gleanwick");
}

TEST_F(MainFrameTest, AServerWithoutSubscribedGroupsEnablesNewsgroupsButNotExtract) {
    Start({"news.example"}, {}, false);
    EXPECT_TRUE(Enabled(F::kNewsgroups));
    EXPECT_FALSE(Enabled(F::kExtract));
    // The Extract command that "Auto Start Extract" posts is dropped: nothing starts.
    EXPECT_TRUE(frame->RequestAutoStart(true));
    QCoreApplication::processEvents();
    EXPECT_FALSE(frame->Run().IsRunning());
    EXPECT_TRUE(LogLines().empty());
}

TEST_F(MainFrameTest, DuringARunTheDialogsAreDisabledAndExtractStops) {
    Start({"news.example"});
    EXPECT_TRUE(Enabled(F::kExtract));
    StartRunThatWaits();
    for (const unsigned id :
         {F::kServers, F::kNewsgroups, F::kKills, F::kOptions, F::kCatchUpGroups})
        EXPECT_FALSE(Enabled(id)) << id;
    EXPECT_TRUE(Enabled(F::kExtract));
    EXPECT_TRUE(Enabled(F::kCatchUpCurrentGroup));
    EXPECT_EQ(MenuText(F::kExtract), "Stop &Extracting");
    // Ctrl+E still stops it.
    EXPECT_EQ(frame->Commands().Action(F::kExtract)->shortcut(), QKeySequence("Ctrl+E"));
    // Ctrl+K of the disabled Kills command does nothing (no dialog, the run goes on).
    EXPECT_FALSE(frame->Commands().Execute(F::kKills));
    StopRun();
    EXPECT_FALSE(frame->Run().IsRunning());
    EXPECT_EQ(MenuText(F::kExtract), "&Extract");
    EXPECT_TRUE(Enabled(F::kServers));
}

TEST_F(MainFrameTest, DuringACatchUpRunOnlyExtractStopsIt) {
    Start({"news.example"});
    StartRunThatWaits(1);
    EXPECT_TRUE(frame->Run().IsCatchUp());
    EXPECT_FALSE(Enabled(F::kCatchUpCurrentGroup));
    EXPECT_FALSE(Enabled(F::kCatchUpGroups));
    EXPECT_EQ(MenuText(F::kExtract), "Stop &Extracting");
    StopRun();
    EXPECT_FALSE(frame->Run().IsRunning());
}

TEST_F(MainFrameTest, ShortcutsOfDisabledCommandsDoNothing) {
    Start({"news.example"}, {}, false);
    frame->show();
    QTest::keyClick(frame.get(), Qt::Key_E, Qt::ControlModifier);
    QCoreApplication::processEvents();
    EXPECT_FALSE(frame->Run().IsRunning());
    EXPECT_TRUE(server.Done());
}

TEST_F(MainFrameTest, KillCommandsAddTheSelectedRowsTextAndSayItInTheLogListOnly) {
    Start({"news.example"});
    COutputWindow* articles = frame->GetArticleList();
    articles->AddArticle("pic.jpg", 120, "Joe <j@x>", "Pics (1/1)");
    articles->AddArticle("b?n*.zip", 10, "Ann", "Zip");
    EXPECT_FALSE(Enabled(F::kKillAuthor));
    articles->setCurrentIndex(articles->model()->index(1, 0));
    EXPECT_TRUE(Enabled(F::kKillAuthor));
    EXPECT_TRUE(Enabled(F::kKillSubject));
    EXPECT_TRUE(Enabled(F::kKillFilename));

    frame->Commands().Action(F::kKillAuthor)->trigger();
    frame->Commands().Action(F::kKillSubject)->trigger();
    frame->Commands().Action(F::kKillFilename)->trigger();
    ASSERT_EQ(app.KillRules().size(), 3u);
    EXPECT_EQ(app.KillRules()[0].field, 0);
    EXPECT_EQ(app.KillRules()[0].pattern, "Ann");
    EXPECT_EQ(app.KillRules()[1].field, 1);
    EXPECT_EQ(app.KillRules()[1].pattern, "Zip");
    EXPECT_EQ(app.KillRules()[2].field, 2);
    EXPECT_EQ(app.KillRules()[2].pattern, "b?n*.zip");
    EXPECT_THAT(LogLines(), ElementsAre("Adding kill rule with author of: Ann",
                                        "Adding kill rule with subject of: Zip",
                                        "Adding kill rule with file name of: b?n*.zip"));

    // They reach the kill file with the next save.
    frame->SaveSettings(false);
    EXPECT_EQ(home.Read("Gleanwick.killfile"), "0,Ann\n1,Zip\n2,b?n*.zip\n");
}

TEST_F(MainFrameTest, TheContextMenuShowsTheFramesKillCommandsWithTheirRules) {
    Start({"news.example"});
    QMenu* kill = nullptr;
    for (QMenu* menu : frame->findChildren<QMenu*>())
        if (menu->title() == "Kill")
            kill = menu;
    ASSERT_NE(kill, nullptr);
    ASSERT_EQ(kill->actions().size(), 3);
    EXPECT_EQ(kill->actions()[0], frame->Commands().Action(F::kKillAuthor));
    EXPECT_EQ(kill->actions()[1], frame->Commands().Action(F::kKillFilename));
    EXPECT_EQ(kill->actions()[2], frame->Commands().Action(F::kKillSubject));
    // Opening it evaluates the rules: nothing is selected, so all three are disabled.
    frame->Commands().Action(F::kKillAuthor)->setEnabled(true);
    emit kill->aboutToShow();
    for (QAction* action : kill->actions())
        EXPECT_FALSE(action->isEnabled());
}

TEST_F(MainFrameTest, MenusAndToolbarFollowTheirOrder) {
    Start({"news.example"});
    QStringList menus;
    for (QAction* action : frame->menuBar()->actions())
        menus << action->text();
    EXPECT_EQ(menus, QStringList({"&File", "&View", "&News", "&Help"}));
    std::vector<unsigned> toolbar;
    for (QAction* action : frame->GetToolBar()->actions()) {
        if (action->isSeparator()) {
            toolbar.push_back(0);
            continue;
        }
        for (const unsigned id : {F::kExtract, F::kNewsgroups, F::kServers, F::kKills,
                                  F::kCatchUpCurrentGroup, F::kKillAuthor, F::kKillSubject,
                                  F::kKillFilename, F::kOptions, F::kHelpTopics, F::kContextHelp})
            if (frame->Commands().Action(id) == action)
                toolbar.push_back(id);
        EXPECT_FALSE(action->icon().isNull()) << action->text().toStdString();
    }
    EXPECT_THAT(toolbar,
                ElementsAre(F::kExtract, 0, F::kNewsgroups, F::kServers, F::kKills, 0,
                            F::kCatchUpCurrentGroup, 0, F::kKillAuthor, F::kKillSubject,
                            F::kKillFilename, 0, F::kOptions, 0, F::kHelpTopics, F::kContextHelp));
    // Prompts and tooltips from the string table.
    EXPECT_EQ(frame->Commands().Action(F::kKills)->statusTip(), "Setup kills");
    EXPECT_EQ(frame->Commands().Action(F::kKills)->toolTip(), "Kills");
}

TEST_F(MainFrameTest, StatusBarPromptsAndTheFullWidthWhileAMenuIsOpen) {
    Start({});
    CMainStatusBar* bar = frame->GetStatusBar();
    EXPECT_EQ(bar->MessageText(), "For Help, press F1");
    EXPECT_EQ(bar->Pane(4)->text(), "Date");
    EXPECT_EQ(bar->Pane(5)->text(), "Time");
    bar->UpdatePanes();
    EXPECT_NE(bar->Pane(4)->text(), "Date");
    EXPECT_EQ(bar->Pane(4)->width(), bar->Pane(4)->minimumWidth());

    frame->show();
    bar->SetMenuOpen(true);
    QStatusTipEvent tip("Setup kills");
    QCoreApplication::sendEvent(frame.get(), &tip);
    EXPECT_EQ(bar->MessageText(), "Setup kills");
    for (int pane = 1; pane < 6; ++pane)
        EXPECT_FALSE(bar->Pane(pane)->isVisible()) << pane;
    bar->SetMenuOpen(false);
    EXPECT_EQ(bar->MessageText(), "For Help, press F1");
    for (int pane = 1; pane < 6; ++pane)
        EXPECT_TRUE(bar->Pane(pane)->isVisible()) << pane;

    bar->SetContextHelpMode(true);
    EXPECT_EQ(bar->MessageText(), "Select an object on which to get Help");
    bar->SetContextHelpMode(false);
    EXPECT_EQ(bar->MessageText(), "For Help, press F1");
}

TEST_F(MainFrameTest, ViewCommandsToggleTheBarsWithCheckMarks) {
    Start({});
    frame->show();
    QAction* toolbar = frame->Commands().Action(F::kViewToolbar);
    frame->Commands().Update();
    EXPECT_TRUE(toolbar->isChecked());
    toolbar->trigger();
    EXPECT_TRUE(frame->GetToolBar()->isHidden());
    EXPECT_FALSE(toolbar->isChecked());
    frame->Commands().Action(F::kViewStatusBar)->trigger();
    EXPECT_TRUE(frame->GetStatusBar()->isHidden());

    // Both survive a restart through the "Bars" sections.
    frame->SaveSettings(false);
    frame.reset();
    frame = std::make_unique<CMainFrame>(app, server.Factory());
    frame->SaveSettings(true);
    frame->RestorePlacement();
    EXPECT_TRUE(frame->GetToolBar()->isHidden());
    EXPECT_TRUE(frame->GetStatusBar()->isHidden());
    frame->Commands().Update();
    EXPECT_FALSE(frame->Commands().Action(F::kViewToolbar)->isChecked());
}

TEST_F(MainFrameTest, PlacementSurvivesMaximisedMinimisedAndNormal) {
    Start({});
    frame->SaveSettings(true);
    frame->RestorePlacement();
    frame->setGeometry(QRect(40, 50, 700, 500));
    QCoreApplication::processEvents();
    const QRect normal = frame->geometry();
    frame->SaveSettings(false);
    EXPECT_EQ(app.Profile().GetProfileInt("Settings", "m_uShow", 0), 1u);
    EXPECT_EQ(app.Profile().GetProfileInt("Settings", "m_rcNormal.left", 0),
              static_cast<uint32_t>(normal.left()));
    EXPECT_EQ(app.Profile().GetProfileInt("Settings", "m_rcNormal.right", 0),
              static_cast<uint32_t>(normal.left() + normal.width()));

    for (const uint32_t show : {3u, 2u, 1u}) {
        frame->showNormal();
        frame->setGeometry(normal);
        QCoreApplication::processEvents();
        if (show == 3)
            frame->showMaximized();
        if (show == 2)
            frame->showMinimized();
        QCoreApplication::processEvents();
        frame->SaveSettings(false);
        EXPECT_EQ(app.Profile().GetProfileInt("Settings", "m_uShow", 0), show);

        frame.reset();
        frame = std::make_unique<CMainFrame>(app, server.Factory());
        frame->SaveSettings(true);
        frame->RestorePlacement();
        QCoreApplication::processEvents();
        EXPECT_EQ(frame->isMaximized(), show == 3) << show;
        EXPECT_EQ(frame->isMinimized(), show == 2) << show;
        // The normal rectangle survives every state.
        EXPECT_EQ(frame->normalGeometry().size(), normal.size()) << show;
    }
}

TEST_F(MainFrameTest, TopRowHeightIsRestoredAndAStoredZeroChangesNothing) {
    Start({}, "\"nSplitTop\"=dword:00000000\n");
    frame->SaveSettings(true);
    frame->RestorePlacement();
    QSplitter* splitter = frame->findChild<QSplitter*>();
    ASSERT_NE(splitter, nullptr);
    const int initial = splitter->sizes().first();
    EXPECT_GT(initial, 0);
    splitter->setSizes({initial + 37, splitter->height() - initial - 37});
    frame->SaveSettings(false);
    EXPECT_EQ(app.Profile().GetProfileInt("Settings", "nSplitTop", 0),
              static_cast<uint32_t>(initial + 37));

    frame.reset();
    frame = std::make_unique<CMainFrame>(app, server.Factory());
    frame->SaveSettings(true);
    frame->RestorePlacement();
    EXPECT_EQ(frame->findChild<QSplitter*>()->sizes().first(), initial + 37);
}

TEST_F(MainFrameTest, ClosingDuringARunStopsItFirstAndSavesTheWindowValues) {
    Start({"news.example"});
    frame->SaveSettings(true);
    frame->RestorePlacement();
    StartRunThatWaits();
    server.Quit();
    frame->close();
    server.Play(frame->Run());
    EXPECT_TRUE(server.Done());
    EXPECT_FALSE(frame->Run().IsRunning());
    EXPECT_NE(app.Profile().GetProfileInt("Settings", "m_rcNormal.right", 0), 0u);
}

TEST_F(MainFrameTest, ExitWhenCompleteClosesTheWindowAfterExtractComplete) {
    Start({"news.example"}, "\"m_bAutoExit\"=dword:00000001\n");
    frame->SaveSettings(true);
    frame->RestorePlacement();
    ASSERT_TRUE(frame->isVisible());
    // The script plays one connection: no helpers to open after the login.
    app.Profile().WriteProfileInt("Servers\\news.example", "Connections", 1);
    server.Accept("news.example").Reply("200 hi").Expect("MODE READER").Reply("200 ok");
    server.Expect("LIST OVERVIEW.FMT").Reply("503 no overview");
    server.Expect("GROUP alt.bin").Reply("211 0 1 0 alt.bin").Quit();
    EXPECT_TRUE(frame->RequestAutoStart(true));
    QCoreApplication::processEvents();
    ASSERT_TRUE(frame->Run().IsRunning());
    server.Play(frame->Run());
    EXPECT_TRUE(server.Done());
    EXPECT_TRUE(frame->isVisible());
    // The posted exit command closes the window.
    EXPECT_TRUE(QTest::qWaitFor([this] { return !frame->isVisible(); }, 2000));
    EXPECT_EQ(LogLines().back(), "Extract Complete");
}

// Closes the modal dialog the next command opens, with OK or Cancel.
void CloseNextDialog(bool accept) {
    QTimer::singleShot(0, [accept] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        accept ? dialog->accept() : dialog->reject();
    });
}

TEST_F(MainFrameTest, EachDialogSavesTheSettingsAndTheLastRunsNewsrc) {
    Start({"news.example"}, "\"m_bBackupNewsrc\"=dword:00000001\n");
    StartRunThatWaits();
    StopRun();
    CGroupTable* table = FindServerTable("news.example");
    ASSERT_NE(table, nullptr);
    for (const unsigned id : {F::kKills, F::kNewsgroups, F::kServers}) {
        table->GetAt(0).subscribed = !table->GetAt(0).subscribed;
        app.KillRules().push_back({1, "spam" + std::to_string(id)});
        CloseNextDialog(false);
        ASSERT_TRUE(frame->Commands().Execute(id)) << id;
        EXPECT_NE(home.Read("Gleanwick.killfile").find("1,spam" + std::to_string(id)),
                  std::string::npos)
            << id;
        EXPECT_EQ(home.Read("news.example.newsrc")
                      .rfind(table->GetAt(0).subscribed ? "alt.bin:" : "alt.bin!", 0),
                  0u)
            << id;
    }
    // The saves after the dialogs keep the file as the program found it as the backup.
    EXPECT_EQ(home.Read("news.example.newsrc.backup"), "alt.bin: 5\n");
}

TEST_F(MainFrameTest, TheOptionsSheetSavesOnlyWhenClosedWithOk) {
    Start({"news.example"});
    app.KillRules().push_back({0, "troll"});
    CloseNextDialog(false);
    ASSERT_TRUE(frame->Commands().Execute(F::kOptions));
    EXPECT_FALSE(home.Exists("Gleanwick.killfile"));
    CloseNextDialog(true);
    ASSERT_TRUE(frame->Commands().Execute(F::kOptions));
    EXPECT_EQ(home.Read("Gleanwick.killfile"), "0,troll\n");
}

TEST_F(MainFrameTest, ASaveAfterTheLastRunsServerWasRemovedSavesTheSettingsOnly) {
    Start({"news.example"});
    StartRunThatWaits();
    StopRun();
    g_serverTables.clear();
    app.KillRules().push_back({2, "*.exe"});
    CloseNextDialog(false);
    ASSERT_TRUE(frame->Commands().Execute(F::kServers));
    EXPECT_EQ(home.Read("Gleanwick.killfile"), "2,*.exe\n");
}

} // namespace

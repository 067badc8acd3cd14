#include "servers/gui/CNewsgroupsDlg.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "GuiTestSupport.h"
#include "app/FakeListHost.h"
#include "app/gui/HelpIds.h"
#include "platform/Diagnostics.h"
#include "servers/CGroupTable.h"
#include "servers/gui/CGroupDownloadDlg.h"
#include "servers/gui/CGroupListModel.h"
#include "support/ProfileHome.h"

namespace {

constexpr const char* kServer = "news.example.com";

// The group-list host of the window: scripted connections, the real progress dialog.
class WindowListHost : public IGroupListHost {
  public:
    std::unique_ptr<IBlockingConnection> MakeConnection(const std::string&) override {
        ++connections;
        return std::make_unique<ListConnection>(outcome, lines, onRead);
    }
    std::unique_ptr<IGroupDownloadProgress> MakeProgress(const std::string& server) override {
        auto progress = std::make_unique<CGroupDownloadDlg>(server, nullptr);
        this->progress = progress.get();
        return progress;
    }
    void EnableMainWindow(bool enable) override { mainWindowStates.push_back(enable); }

    ListConnection::Outcome outcome = ListConnection::Outcome::List;
    std::vector<std::string> lines;
    std::function<void()> onRead;
    int connections = 0;
    CGroupDownloadDlg* progress = nullptr;
    std::vector<bool> mainWindowStates;
};

// Answers the message boxes that come up, one button each in turn, and keeps what they said.
class MessageBoxAnswers {
  public:
    explicit MessageBoxAnswers(std::vector<QMessageBox::StandardButton> answers)
        : m_answers(std::move(answers)) {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Answer(); });
        m_timer.start();
    }

    struct Box {
        QString text;
        QMessageBox::Icon icon;
        QMessageBox::StandardButtons buttons;
        std::optional<uint32_t> helpTopic;
    };
    std::vector<Box> boxes;

  private:
    void Answer() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible())
            return;
        boxes.push_back({box->text(), box->icon(), box->standardButtons(), HelpTopicId(box)});
        const QMessageBox::StandardButton answer =
            boxes.size() <= m_answers.size() ? m_answers[boxes.size() - 1] : QMessageBox::Cancel;
        box->button(answer)->click();
    }

    std::vector<QMessageBox::StandardButton> m_answers;
    QTimer m_timer;
};

struct Group {
    std::string name;
    bool subscribed = false;
    bool isNew = false;
};

class NewsgroupsDlgTest : public testing::Test {
  protected:
    void SetUp() override {
        UseRepositoryHelp();
        g_serverTables.clear();
        CGroupTable::SetListHost(&m_host);
    }
    void TearDown() override {
        m_pTester.reset();
        m_pDialog.reset();
        CGroupTable::SetListHost(nullptr);
        g_serverTables.clear();
    }

    CGroupTable& AddTable(const std::string& server, const std::vector<Group>& groups) {
        auto table = std::make_unique<CGroupTable>(m_home.profile, server);
        for (const Group& group : groups) {
            auto record = std::make_unique<GroupRecord>();
            record->name = group.name;
            record->subscribed = group.subscribed;
            record->isNew = group.isNew;
            table->Append(std::move(record));
        }
        g_serverTables.push_back(std::move(table));
        return *g_serverTables.back();
    }

    CNewsgroupsDlg& Open() {
        m_pDialog = std::make_unique<CNewsgroupsDlg>(m_home.profile);
        m_pDialog->SetFilterDelay(kShortDelay);
        m_pDialog->show();
        m_pDialog->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(m_pDialog.get()));
        m_pTester = std::make_unique<QAbstractItemModelTester>(
            Groups()->model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
        return *m_pDialog;
    }

    template <class T> T* Control(uint32_t id) const {
        return qobject_cast<T*>(FindControl(m_pDialog.get(), id));
    }
    QListWidget* Servers() const { return Control<QListWidget>(CNewsgroupsDlg::kServerList); }
    QLineEdit* Filter() const { return Control<QLineEdit>(CNewsgroupsDlg::kFilterEdit); }
    QTabBar* Tabs() const { return Control<QTabBar>(CNewsgroupsDlg::kTabs); }
    QTreeView* Groups() const { return Control<QTreeView>(CNewsgroupsDlg::kGroupList); }
    QPushButton* Button(uint32_t id) const { return Control<QPushButton>(id); }
    CGroupListModel* Model() const { return static_cast<CGroupListModel*>(Groups()->model()); }

    std::vector<std::string> Listed() const {
        std::vector<std::string> names;
        for (int row = 0; row < Model()->rowCount(); ++row)
            names.push_back(Model()->RecordAt(row)->name);
        return names;
    }

    void ClickTab(int tab) const {
        QTest::mouseClick(Tabs(), Qt::LeftButton, {}, Tabs()->tabRect(tab).center());
    }
    void ClickRow(int row, Qt::KeyboardModifiers modifiers = Qt::ControlModifier) const {
        Groups()->scrollTo(Model()->index(row));
        QTest::mouseClick(Groups()->viewport(), Qt::LeftButton, modifiers,
                          Groups()->visualRect(Model()->index(row)).center());
    }
    void ClickServer(const QString& name) const {
        QListWidgetItem* item = Servers()->findItems(name, Qt::MatchExactly).front();
        QTest::mouseClick(Servers()->viewport(), Qt::LeftButton, {},
                          Servers()->visualItemRect(item).center());
    }
    bool IconIsSubscribed(int row) const {
        const QIcon icon = Model()->data(Model()->index(row), Qt::DecorationRole).value<QIcon>();
        return icon.pixmap(16).toImage() ==
               QIcon(":/icons/group-subscribed.svg").pixmap(16).toImage();
    }

    static constexpr int kShortDelay = 40;

    ProfileHome m_home;
    WindowListHost m_host;
    std::unique_ptr<CNewsgroupsDlg> m_pDialog;
    std::unique_ptr<QAbstractItemModelTester> m_pTester;
};

// In name order, as a fetched list is: upper case before lower case.
const std::vector<Group> kGroups = {
    {"alt.Binaries.x", true, false},      {"alt.binaries.pictures", true, false},
    {"alt.binaries.sounds", false, true}, {"comp.lang.c", true, true},
    {"misc.test", false, false},
};

TEST_F(NewsgroupsDlgTest, OpensOnTheFirstServerInNameOrderWithItsGroupsInTableOrder) {
    AddTable("zeta.example.com", {{"z.group"}});
    AddTable("alpha.example.com", kGroups);
    CNewsgroupsDlg& dialog = Open();

    EXPECT_EQ(dialog.windowTitle(), "Newsgroups");
    EXPECT_EQ(dialog.TemplateId(), 130u);
    ASSERT_EQ(Servers()->count(), 2);
    EXPECT_EQ(Servers()->item(0)->text(), "alpha.example.com");
    EXPECT_EQ(Servers()->item(1)->text(), "zeta.example.com");
    EXPECT_TRUE(Servers()->item(0)->isSelected());
    EXPECT_EQ(Tabs()->count(), 3);
    EXPECT_EQ(Tabs()->tabText(0), "All");
    EXPECT_EQ(Tabs()->tabText(1), "Subscribed");
    EXPECT_EQ(Tabs()->tabText(2), "New");
    EXPECT_EQ(Model()->headerData(0, Qt::Horizontal).toString(), "Newsgroups");
    EXPECT_EQ(Listed(),
              (std::vector<std::string>{"alt.Binaries.x", "alt.binaries.pictures",
                                        "alt.binaries.sounds", "comp.lang.c", "misc.test"}));
    EXPECT_FALSE(Button(CNewsgroupsDlg::kSubscribe)->isEnabled());
    EXPECT_FALSE(Button(CNewsgroupsDlg::kUnsubscribe)->isEnabled());
    EXPECT_TRUE(Button(CNewsgroupsDlg::kResetList)->isEnabled());
    EXPECT_TRUE(Button(CNewsgroupsDlg::kClose)->isDefault());

    ClickServer("zeta.example.com");
    EXPECT_EQ(Listed(), std::vector<std::string>{"z.group"});
    Servers()->clearSelection();
    EXPECT_EQ(Model()->rowCount(), 0);
    EXPECT_FALSE(Button(CNewsgroupsDlg::kResetList)->isEnabled());
}

// Letters turn into lower case as they are typed; the list follows once the timer runs out, or
// at once when the focus leaves the edit.
TEST_F(NewsgroupsDlgTest, TheFilterAppliesAfterTheDelayOrWhenTheFocusLeaves) {
    AddTable(kServer, kGroups);
    CNewsgroupsDlg& dialog = Open();
    auto* timer = dialog.findChild<QTimer*>();
    ASSERT_NE(timer, nullptr);

    CNewsgroupsDlg defaults(m_home.profile);
    EXPECT_EQ(defaults.findChild<QTimer*>()->interval(), CNewsgroupsDlg::kFilterDelayMs);

    Filter()->setFocus();
    QTest::keyClicks(Filter(), "BINA");
    EXPECT_EQ(Filter()->text(), "bina");
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(Model()->rowCount(), 5) << "not before the timer";
    EXPECT_TRUE(QTest::qWaitFor([this] { return Model()->rowCount() == 2; }, 1000));
    EXPECT_EQ(Listed(), (std::vector<std::string>{"alt.binaries.pictures", "alt.binaries.sounds"}));

    // Each keystroke starts the wait again; Tab leaves the edit and refreshes at once.
    dialog.SetFilterDelay(60000);
    QTest::keyClick(Filter(), Qt::Key_Backspace);
    QTest::keyClicks(Filter(), "aries.s");
    EXPECT_EQ(Model()->rowCount(), 2);
    QTest::keyClick(Filter(), Qt::Key_Tab);
    EXPECT_FALSE(Filter()->hasFocus());
    EXPECT_FALSE(timer->isActive());
    EXPECT_EQ(Listed(), std::vector<std::string>{"alt.binaries.sounds"});

    // An empty filter lists every group of the tab again.
    Filter()->clear();
    Filter()->setFocus();
    QTest::keyClick(Filter(), Qt::Key_Tab);
    EXPECT_EQ(Model()->rowCount(), 5);

    // Enter applies the filter at once and leaves the dialog open.
    Filter()->setFocus();
    QTest::keyClicks(Filter(), "pictures");
    QTest::keyClick(Filter(), Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(Listed(), std::vector<std::string>{"alt.binaries.pictures"});
}

// The text must appear exactly, case included; the tab narrows further.
TEST_F(NewsgroupsDlgTest, FilterAndTabsCombine) {
    CGroupTable& table = AddTable(kServer, kGroups);
    table.m_bListFetched = true; // "New" then lists without asking the server
    Open();
    Filter()->setText("binaries");
    ClickTab(1);
    EXPECT_EQ(Listed(), std::vector<std::string>{"alt.binaries.pictures"});
    ClickTab(2);
    EXPECT_EQ(Listed(), std::vector<std::string>{"alt.binaries.sounds"});
    Filter()->setText("");
    ClickTab(1);
    EXPECT_EQ(Listed(),
              (std::vector<std::string>{"alt.Binaries.x", "alt.binaries.pictures", "comp.lang.c"}));
    ClickTab(0);
    EXPECT_EQ(Model()->rowCount(), 5);
    EXPECT_EQ(m_host.connections, 0);
}

TEST_F(NewsgroupsDlgTest, SubscribeAndUnsubscribeTheSelectedGroupsAndFollowTheSelection) {
    CGroupTable& table = AddTable(kServer, kGroups);
    table.m_bListFetched = true;
    Open();
    ClickTab(2); // alt.binaries.sounds, comp.lang.c
    ASSERT_EQ(Model()->rowCount(), 2);
    ClickRow(0);
    EXPECT_TRUE(Button(CNewsgroupsDlg::kSubscribe)->isEnabled());
    EXPECT_TRUE(Button(CNewsgroupsDlg::kUnsubscribe)->isEnabled());
    ClickRow(1);
    QTest::mouseClick(Button(CNewsgroupsDlg::kSubscribe), Qt::LeftButton);
    EXPECT_TRUE(table.GetAt(2).subscribed);
    EXPECT_TRUE(table.GetAt(3).subscribed);
    // Still listed under New, with the subscribed icon, until the list is rebuilt.
    EXPECT_EQ(Model()->rowCount(), 2);
    EXPECT_TRUE(IconIsSubscribed(0));
    EXPECT_TRUE(IconIsSubscribed(1));

    QTest::mouseClick(Button(CNewsgroupsDlg::kUnsubscribe), Qt::LeftButton);
    EXPECT_FALSE(table.GetAt(2).subscribed);
    EXPECT_FALSE(table.GetAt(3).subscribed);
    EXPECT_EQ(Model()->rowCount(), 2);

    // Deselecting one keeps the buttons; deselecting the last disables them.
    ClickRow(0);
    EXPECT_TRUE(Button(CNewsgroupsDlg::kSubscribe)->isEnabled());
    ClickRow(1);
    EXPECT_FALSE(Button(CNewsgroupsDlg::kSubscribe)->isEnabled());
    EXPECT_FALSE(Button(CNewsgroupsDlg::kUnsubscribe)->isEnabled());

    // Subscribed under New shows under Subscribed after the switch.
    ClickRow(1);
    QTest::mouseClick(Button(CNewsgroupsDlg::kSubscribe), Qt::LeftButton);
    ClickTab(1);
    EXPECT_EQ(Listed(),
              (std::vector<std::string>{"alt.Binaries.x", "alt.binaries.pictures", "comp.lang.c"}));
}

TEST_F(NewsgroupsDlgTest, SubscribeTakesEveryRowOfAShiftClickRange) {
    std::vector<Group> many;
    for (int i = 0; i < 300; ++i)
        many.push_back({"group." + std::to_string(1000 + i)});
    CGroupTable& table = AddTable(kServer, many);
    Open();
    ClickRow(10, Qt::NoModifier);
    Groups()->scrollToBottom();
    ClickRow(289, Qt::ShiftModifier);
    QTest::mouseClick(Button(CNewsgroupsDlg::kSubscribe), Qt::LeftButton);
    for (std::size_t i = 0; i < table.GetCount(); ++i)
        EXPECT_EQ(table.GetAt(i).subscribed, i >= 10 && i <= 289) << i;
}

TEST_F(NewsgroupsDlgTest, DoubleClickTogglesTheGroup) {
    CGroupTable& table = AddTable(kServer, kGroups);
    Open();
    // What the window system sends for a double click: a click, then the double click.
    const auto doubleClick = [this](int row) {
        const QPoint point = Groups()->visualRect(Model()->index(row)).center();
        QTest::mouseClick(Groups()->viewport(), Qt::LeftButton, {}, point);
        QTest::mouseDClick(Groups()->viewport(), Qt::LeftButton, {}, point);
    };
    doubleClick(4);
    EXPECT_TRUE(table.GetAt(4).subscribed);
    EXPECT_TRUE(IconIsSubscribed(4));
    doubleClick(4);
    EXPECT_FALSE(table.GetAt(4).subscribed);
    EXPECT_FALSE(IconIsSubscribed(4));
}

// The first switch to New asks the server for its new groups; once that worked, later switches
// only list the table.
TEST_F(NewsgroupsDlgTest, TheNewTabFetchesNewGroupsUntilOneFetchSucceeded) {
    CGroupTable& table = AddTable(kServer, kGroups);
    m_host.outcome = ListConnection::Outcome::Fail;
    Open();
    {
        MessageBoxAnswers answers({QMessageBox::Retry, QMessageBox::Cancel});
        ClickTab(2);
        ASSERT_EQ(answers.boxes.size(), 2u);
        EXPECT_EQ(answers.boxes[0].text, "Unable to access newsgroups for news.example.com.");
        EXPECT_EQ(answers.boxes[0].icon, QMessageBox::Critical);
        EXPECT_EQ(answers.boxes[0].buttons, QMessageBox::Retry | QMessageBox::Cancel);
        EXPECT_EQ(answers.boxes[0].helpTopic, 50u);
    }
    EXPECT_EQ(m_host.connections, 2) << "Retry asks again";
    // After Cancel the groups already marked new are listed.
    EXPECT_EQ(Listed(), (std::vector<std::string>{"alt.binaries.sounds", "comp.lang.c"}));

    m_host.outcome = ListConnection::Outcome::List;
    m_host.lines = {"alt.binaries.new 10 1 y", "."};
    ClickTab(0);
    ClickTab(2);
    EXPECT_EQ(m_host.connections, 3) << "a failed fetch is tried again";
    EXPECT_TRUE(table.m_bListFetched);
    EXPECT_EQ(Listed(),
              (std::vector<std::string>{"alt.binaries.new", "alt.binaries.sounds", "comp.lang.c"}));
    ClickTab(0);
    ClickTab(2);
    EXPECT_EQ(m_host.connections, 3);
    EXPECT_EQ(Model()->rowCount(), 3);
}

// Reset List reads the whole list into a new table that takes the old one's place and its
// groups' state; while it reads, the dialog takes no input.
TEST_F(NewsgroupsDlgTest, ResetListReplacesTheTableAndCarriesTheStateOver) {
    AddTable("other.example.com", {{"x"}});
    CGroupTable& old = AddTable(kServer, kGroups);
    old.GetAt(1).last = 5000;
    old.GetAt(1).pending = {4990, 4995};
    m_host.lines = {"alt.binaries.pictures 1 1 y", "brand.new 1 1 y", "misc.test 1 1 y", "."};
    Open();
    ClickServer(kServer);
    bool enabledDuringFetch = true;
    m_host.onRead = [&] {
        enabledDuringFetch = enabledDuringFetch && m_pDialog->isEnabled();
        m_pDialog->reject(); // the close box meanwhile: ignored
    };
    QTest::mouseClick(Button(CNewsgroupsDlg::kResetList), Qt::LeftButton);

    EXPECT_FALSE(enabledDuringFetch);
    EXPECT_TRUE(m_pDialog->isVisible());
    EXPECT_TRUE(m_pDialog->isEnabled());
    EXPECT_EQ(m_host.mainWindowStates, (std::vector<bool>{false, true}));
    ASSERT_EQ(g_serverTables.size(), 2u);
    EXPECT_EQ(g_serverTables[0]->m_strName, "other.example.com");
    CGroupTable& fresh = *g_serverTables[1];
    EXPECT_EQ(fresh.m_strName, kServer);
    EXPECT_TRUE(fresh.m_bListFetched);
    ASSERT_EQ(fresh.GetCount(), 3u);
    const GroupRecord& kept = fresh.GetAt(0);
    EXPECT_TRUE(kept.subscribed);
    EXPECT_FALSE(kept.isNew);
    EXPECT_EQ(kept.last, 5000u);
    EXPECT_EQ(kept.pending, (std::vector<uint32_t>{4990, 4995}));
    EXPECT_TRUE(fresh.GetAt(1).isNew);
    EXPECT_EQ(Listed(),
              (std::vector<std::string>{"alt.binaries.pictures", "brand.new", "misc.test"}));
    EXPECT_EQ(Model()->RecordAt(0), &kept);

    // The new groups are under New without another call to the server.
    ClickTab(2);
    EXPECT_EQ(Listed(), std::vector<std::string>{"brand.new"});
    EXPECT_EQ(m_host.connections, 1);
}

TEST_F(NewsgroupsDlgTest, ResetListThatFailsKeepsTheOldTableAndOffersRetry) {
    CGroupTable& old = AddTable(kServer, kGroups);
    m_host.outcome = ListConnection::Outcome::Fail;
    Open();
    Filter()->setText("binaries");
    Filter()->setFocus();
    QTest::keyClick(Filter(), Qt::Key_Tab);
    const std::vector<std::string> before = Listed();
    {
        MessageBoxAnswers answers({QMessageBox::Retry, QMessageBox::Cancel});
        QTest::mouseClick(Button(CNewsgroupsDlg::kResetList), Qt::LeftButton);
        ASSERT_EQ(answers.boxes.size(), 2u);
        EXPECT_EQ(answers.boxes[1].text, "Unable to access newsgroups for news.example.com.");
        EXPECT_EQ(answers.boxes[1].icon, QMessageBox::Critical);
    }
    EXPECT_EQ(m_host.connections, 2);
    ASSERT_EQ(g_serverTables.size(), 1u);
    EXPECT_EQ(g_serverTables[0].get(), &old);
    EXPECT_EQ(Listed(), before);
    EXPECT_TRUE(m_pDialog->isEnabled());
}

// Closing the logon prompt is no failure to report, on the New tab nor for Reset List.
TEST_F(NewsgroupsDlgTest, ACancelledLogonIsSilent) {
    CGroupTable& old = AddTable(kServer, kGroups);
    m_host.outcome = ListConnection::Outcome::Cancel;
    Open();
    MessageBoxAnswers answers({});
    ClickTab(2);
    EXPECT_EQ(Model()->rowCount(), 2);
    QTest::mouseClick(Button(CNewsgroupsDlg::kResetList), Qt::LeftButton);
    EXPECT_EQ(m_host.connections, 2);
    EXPECT_TRUE(answers.boxes.empty());
    EXPECT_EQ(g_serverTables[0].get(), &old);
    EXPECT_EQ(Model()->rowCount(), 2);
}

// Cancel in the progress window, above the modal Newsgroups dialog, keeps the groups received.
TEST_F(NewsgroupsDlgTest, ResetListCancelledInItsProgressWindowKeepsThePartReceived) {
    AddTable(kServer, kGroups);
    m_host.lines = {"alt.binaries.pictures 1 1 y", "alt.binaries.sounds 1 1 y", "comp.lang.c 1 1 y",
                    "misc.test 1 1 y", "."};
    m_pDialog = std::make_unique<CNewsgroupsDlg>(m_home.profile);
    m_pDialog->setWindowModality(Qt::ApplicationModal);
    m_pDialog->show();
    int reads = 0;
    m_host.onRead = [&] {
        if (++reads != 3)
            return;
        // Through the window system, which holds back input to windows a modal one blocks.
        QWidget* cancel = FindControl(m_host.progress, 2);
        QTest::mouseClick(m_host.progress->windowHandle(), Qt::LeftButton, {},
                          cancel->mapTo(m_host.progress, cancel->rect().center()));
    };
    QTest::mouseClick(Button(CNewsgroupsDlg::kResetList), Qt::LeftButton);

    ASSERT_EQ(g_serverTables.size(), 1u);
    CGroupTable& fresh = *g_serverTables[0];
    ASSERT_EQ(fresh.GetCount(), 2u);
    EXPECT_TRUE(fresh.GetAt(0).subscribed);
    EXPECT_FALSE(fresh.GetAt(1).subscribed);
    EXPECT_EQ(Model()->rowCount(), 2);
}

TEST_F(NewsgroupsDlgTest, SelectionChangesAreTracedAtLevelOne) {
    AddTable(kServer, kGroups);
    const std::string path = m_home / "GLEANWICK.DBG";
    ASSERT_TRUE(OpenDiagnosticsFile(path));
    g_nDebugLevel = 1;
    Open();
    ClickRow(0);
    ClickRow(0);
    g_nDebugLevel = 0;
    CloseDiagnosticsFile();
    const std::string trace = ReadFile(path);
    EXPECT_NE(trace.find("Entering OnItemChangedNewsgroups, pNMListView = 0x"), std::string::npos);
    const std::size_t select = trace.find("OnItemChangedNewsgroups: State is changed.\n"
                                          "OnItemChangedNewsgroups: Select.\n"
                                          "Leaving OnItemChangedNewsgroups.\n");
    const std::size_t deselect = trace.find("OnItemChangedNewsgroups: Deselect.\n"
                                            "OnItemChangedNewsgroups: Selection is empty.\n"
                                            "Leaving OnItemChangedNewsgroups.\n");
    EXPECT_NE(select, std::string::npos);
    EXPECT_NE(deselect, std::string::npos);
    EXPECT_LT(select, deselect);
}

} // namespace

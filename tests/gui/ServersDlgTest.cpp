// The Servers dialog and the server sheet, worked as a user works them: clicks, keys, the
// sheet's pages, the message boxes, and the group-list download against a scripted news server
// on a loopback port.

#include "servers/gui/CServersDlg.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <filesystem>
#include <functional>
#include <memory>

#include <gtest/gtest.h>

#include "GuiTestSupport.h"
#include "app/gui/CHelpPropertySheet.h"
#include "app/gui/HelpIds.h"
#include "nntp/CGroupListHost.h"
#include "servers/CGroupTable.h"
#include "servers/CServerRecord.h"
#include "servers/gui/CGroupDownloadDlg.h"
#include "servers/gui/CServerAdvancedPage.h"
#include "servers/gui/CServerGeneralPage.h"
#include "support/ProfileHome.h"
#include "support/ScriptedServer.h"

namespace {

namespace fs = std::filesystem;
using General = CServerGeneralPage;
using Advanced = CServerAdvancedPage;

constexpr int kStepLimitMs = 15000;

template <class T> T* Modal() {
    return qobject_cast<T*>(QApplication::activeModalWidget());
}

// Runs `act` once `ready` holds, looking every few milliseconds while event loops turn (those
// of modal dialogs and of the download's pumping). A step that never gets ready fails the test
// and closes whatever is modal, so that a broken dialog cannot hang the test run.
void When(std::function<bool()> ready, std::function<void()> act) {
    auto* timer = new QTimer(qApp);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(timer, &QTimer::timeout, [=] {
        if (ready()) {
            timer->deleteLater();
            timer->stop();
            act();
            return;
        }
        if (clock->elapsed() < kStepLimitMs)
            return;
        ADD_FAILURE() << "a step of the test never became ready";
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
    });
    timer->start(5);
}

template <class T> void WhenModal(std::function<void(T*)> act) {
    When([] { return Modal<T>() != nullptr; }, [act] { act(Modal<T>()); });
}

template <class T = QWidget> T* Control(QWidget* root, uint32_t id) {
    auto* control = qobject_cast<T*>(FindControl(root, id));
    EXPECT_NE(control, nullptr) << "no control " << id;
    return control;
}

void Click(QWidget* root, uint32_t id) {
    QTest::mouseClick(Control<QPushButton>(root, id), Qt::LeftButton);
}

// Replaces a field's text by typing.
void Type(QWidget* root, uint32_t id, const QString& text) {
    auto* edit = Control<QLineEdit>(root, id);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}

void ShowPage(CHelpPropertySheet* sheet, int index) {
    auto* tabs = sheet->findChild<QTabBar*>();
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(index).center());
}

// The mouse through the window system, which drops clicks on windows that a modal dialog
// blocks.
void ClickThroughTheWindow(QWidget* button) {
    QWidget* window = button->window();
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {},
                      button->mapTo(window, button->rect().center()));
}

CGroupDownloadDlg* Download() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<CGroupDownloadDlg*>(widget); dialog && dialog->isVisible())
            return dialog;
    }
    return nullptr;
}

// The working folder, for the life of the object.
class WorkingFolder {
  public:
    explicit WorkingFolder(const fs::path& folder) : m_previous(fs::current_path()) {
        fs::current_path(folder);
    }
    ~WorkingFolder() { fs::current_path(m_previous); }
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;

  private:
    fs::path m_previous;
};

// A news server that logs nobody on and lists `groups`.
Script ListingServer(const std::string& groups) {
    return Script()
        .Send("200 ready\r\n")
        .Expect("MODE READER")
        .Send("200 reader\r\n")
        .Expect("LIST")
        .Send("215 list\r\n" + groups + ".\r\n")
        .Expect("QUIT");
}

class ServersDlgTest : public testing::Test {
  protected:
    void SetUp() override {
        UseRepositoryHelp();
        fs::create_directories(m_strHome + ".local/share");
        m_host.SetProgressFactory([this](const std::string& server) {
            ++m_nDownloads;
            return std::make_unique<CGroupDownloadDlg>(server, nullptr);
        });
        CGroupTable::SetListHost(&m_host);
    }
    void TearDown() override {
        CGroupTable::SetListHost(nullptr);
        g_serverTables.clear();
    }

    // A server configured before the dialog opens, with a .newsrc file and its backup.
    void AddConfigured(const std::string& name, const CServerRecord::Settings& settings = {}) {
        CServerRecord record(home.profile, name);
        record.Write(settings);
        const std::string path = record.GetNewsrcPath();
        WriteFile(path, "alt.test: 10\n");
        WriteFile(path + ".backup", "alt.test: 5\n");
        auto table = std::make_unique<CGroupTable>(home.profile, name);
        table->Load();
        g_serverTables.push_back(std::move(table));
    }

    // Fills in the Add sheet for a server on the scripted port and confirms it.
    static void AddOnPort(CHelpPropertySheet* sheet, const QString& name, quint16 port) {
        Type(sheet, General::kNameEdit, name);
        ShowPage(sheet, 1);
        Type(sheet, Advanced::kPortEdit, QString::number(port));
        Click(sheet, 1);
    }

    static QListWidget* List(CServersDlg& dialog) {
        return Control<QListWidget>(&dialog, CServersDlg::kServerList);
    }
    static QStringList Items(CServersDlg& dialog) {
        QStringList texts;
        for (int row = 0; row < List(dialog)->count(); ++row)
            texts << List(dialog)->item(row)->text();
        return texts;
    }
    static void Select(CServersDlg& dialog, int row) {
        QListWidget* list = List(dialog);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(row)).center());
    }

    std::string TrashFile(const std::string& name) const {
        return m_strHome + ".local/share/Trash/files/" + name;
    }
    std::vector<CHive::Value> Values(const std::string& name) const {
        std::vector<CHive::Value> values;
        const std::string key = std::string(CProfile::kApplicationKey) + "\\Servers\\" + name;
        for (std::size_t i = 0; const CHive::Value* value = home.hive.EnumValue(key, i); ++i)
            values.push_back(*value);
        return values;
    }
    bool HasRecord(const std::string& name) const {
        return home.hive.KeyExists(std::string(CProfile::kApplicationKey) + "\\Servers\\" + name);
    }

    ProfileHome home;
    // The desktop's trash lives below HOME, on the same file system as the program folder.
    const std::string m_strHome = home / "home/";
    ScopedEnv m_homeEnv{"HOME", m_strHome.c_str()};
    ScopedEnv m_dataEnv{"XDG_DATA_HOME", (m_strHome + ".local/share").c_str()};
    CGroupListHost m_host{home.profile};
    int m_nDownloads = 0;
};

TEST_F(ServersDlgTest, ListsTheServersInNameOrderWithNothingSelected) {
    AddConfigured("news.b.org");
    AddConfigured("News.A.org");
    AddConfigured("news.c.org");
    CServersDlg dialog(home.profile, nullptr);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "Servers");
    EXPECT_EQ(Items(dialog), (QStringList{"News.A.org", "news.b.org", "news.c.org"}));
    EXPECT_TRUE(List(dialog)->selectedItems().isEmpty());
    EXPECT_FALSE(Control(&dialog, CServersDlg::kRemoveButton)->isEnabled());
    EXPECT_FALSE(Control(&dialog, CServersDlg::kPropertiesButton)->isEnabled());
    EXPECT_TRUE(Control<QPushButton>(&dialog, CServersDlg::kCloseButton)->isDefault());

    Select(dialog, 1);
    EXPECT_TRUE(Control(&dialog, CServersDlg::kRemoveButton)->isEnabled());
    EXPECT_TRUE(Control(&dialog, CServersDlg::kPropertiesButton)->isEnabled());
}

TEST_F(ServersDlgTest, AddStoresTheRecordAndDownloadsTheGroupListAtOnce) {
    ScriptedServer server({Script()
                               .Send("200 ready\r\n")
                               .Expect("AUTHINFO USER ann")
                               .Send("381 more\r\n")
                               .Expect("AUTHINFO PASS s3cret")
                               .Send("281 welcome\r\n")
                               .Expect("MODE READER")
                               .Send("200 reader\r\n")
                               .Expect("LIST")
                               .Send("215 list\r\nalt.b 2 1 y\r\nalt.a 5 1 y\r\n.\r\n")
                               .Expect("QUIT")},
                          ScriptedServer::Nagle::Off, ScriptedServer::Ports::FourDigits);
    CServersDlg dialog(home.profile, nullptr);
    dialog.show();
    WhenModal<CHelpPropertySheet>([&](CHelpPropertySheet* sheet) {
        EXPECT_EQ(sheet->windowTitle(), "Add News Server");
        EXPECT_EQ(sheet->CurrentPage()->Caption(), "General");
        EXPECT_FALSE(Control(sheet, General::kAccountEdit)->isEnabled());
        Type(sheet, General::kNameEdit, " 127.0.0.1 ");
        QTest::mouseClick(Control(sheet, General::kLogonCheck), Qt::LeftButton);
        EXPECT_TRUE(Control(sheet, General::kAccountEdit)->isEnabled());
        Type(sheet, General::kAccountEdit, "ann");
        Type(sheet, General::kPasswordEdit, "s3cret");
        ShowPage(sheet, 1);
        EXPECT_EQ(Control<QLineEdit>(sheet, Advanced::kPortEdit)->text(), "119");
        EXPECT_EQ(Control<QLabel>(sheet, Advanced::kTimeoutText)->text(), "30 Seconds");
        QTest::keyClick(Control(sheet, Advanced::kTimeoutSlider), Qt::Key_Right);
        EXPECT_EQ(Control<QLabel>(sheet, Advanced::kTimeoutText)->text(), "1 Minute");
        Type(sheet, Advanced::kPortEdit, QString::number(server.Port()));
        Click(sheet, 1);
    });
    Click(&dialog, CServersDlg::kAddButton);

    ASSERT_TRUE(server.WaitDone(5000));
    EXPECT_TRUE(server.Mismatches().empty()) << server.Mismatches().front();
    EXPECT_EQ(m_nDownloads, 1);
    CServerRecord record(home.profile, "127.0.0.1");
    const CServerRecord::Settings stored = record.Read();
    EXPECT_TRUE(stored.bLoginRequired);
    EXPECT_EQ(stored.strUser, "ann");
    EXPECT_EQ(stored.strPassword, "s3cret");
    EXPECT_EQ(stored.uPort, server.Port());
    EXPECT_EQ(stored.uTimeout, 60000u);
    EXPECT_FALSE(record.GetLastUpdate().empty());

    ASSERT_EQ(g_serverTables.size(), 1u);
    const CGroupTable& table = *g_serverTables[0];
    EXPECT_EQ(table.m_strName, "127.0.0.1");
    ASSERT_EQ(table.GetCount(), 2u);
    EXPECT_EQ(table.GetAt(0).name, "alt.a");
    EXPECT_TRUE(table.GetAt(0).isNew);
    EXPECT_FALSE(table.GetAt(0).subscribed);
    EXPECT_EQ(Items(dialog), QStringList{"127.0.0.1"});
}

// The download's Cancel works while the Servers dialog is modal, and keeps what had arrived.
TEST_F(ServersDlgTest, CancellingTheDownloadKeepsTheGroupsReceivedSoFar) {
    ScriptedServer server({Script()
                               .Send("200 ready\r\n")
                               .Expect("MODE READER")
                               .Send("200 reader\r\n")
                               .Expect("LIST")
                               .Send("215 list\r\nalt.a 5 1 y\r\nalt.b 2 1 y\r\n")
                               .Pause(1500)
                               .Send("alt.c 1 1 y\r\n.\r\n")},
                          ScriptedServer::Nagle::Off, ScriptedServer::Ports::FourDigits);
    constexpr std::size_t kStepsUpToThePause = 6;
    CServersDlg dialog(home.profile, nullptr);
    WhenModal<CServersDlg>([](CServersDlg* shown) { Click(shown, CServersDlg::kAddButton); });
    WhenModal<CHelpPropertySheet>([&](CHelpPropertySheet* sheet) {
        AddOnPort(sheet, "127.0.0.1", server.Port());
        // Once the server is past its pause, the next line lets the user's click through.
        When([&] { return server.StepsRun() >= kStepsUpToThePause && Download() != nullptr; },
             [] { ClickThroughTheWindow(Control(Download(), 2)); });
    });
    When([] { return !g_serverTables.empty() && Modal<CServersDlg>() != nullptr; },
         [] { Click(Modal<CServersDlg>(), CServersDlg::kCloseButton); });
    dialog.exec();

    ASSERT_TRUE(server.WaitDone(5000));
    EXPECT_EQ(server.Received()[0].back(), "QUIT");
    ASSERT_EQ(g_serverTables.size(), 1u);
    const CGroupTable& table = *g_serverTables[0];
    ASSERT_EQ(table.GetCount(), 2u);
    EXPECT_EQ(table.GetAt(1).name, "alt.b");
    EXPECT_FALSE(CServerRecord(home.profile, "127.0.0.1").GetLastUpdate().empty());
    EXPECT_EQ(Download(), nullptr);
}

// Retry tries again with a table of its own; without it the server stays, without groups.
TEST_F(ServersDlgTest, AServerThatCannotBeReachedIsReportedAndStaysListed) {
    ScriptedServer server({Script().Send("502 no access\r\n"), ListingServer("alt.a 5 1 y\r\n"),
                           Script().Send("502 no access\r\n")},
                          ScriptedServer::Nagle::Off, ScriptedServer::Ports::FourDigits);
    CServersDlg dialog(home.profile, nullptr);
    dialog.show();
    QStringList messages;
    WhenModal<CHelpPropertySheet>(
        [&](CHelpPropertySheet* sheet) { AddOnPort(sheet, "127.0.0.1", server.Port()); });
    WhenModal<QMessageBox>([&](QMessageBox* box) {
        messages << box->text();
        EXPECT_EQ(box->icon(), QMessageBox::Critical);
        QTest::mouseClick(box->button(QMessageBox::Retry), Qt::LeftButton);
    });
    Click(&dialog, CServersDlg::kAddButton);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith("Unable to access newsgroups for 127.0.0.1.\n\n"));
    EXPECT_TRUE(messages[0].contains("502 no access")) << messages[0].toStdString();
    ASSERT_EQ(g_serverTables.size(), 1u);
    EXPECT_EQ(g_serverTables[0]->GetCount(), 1u);

    // The same again under another name on the same port: Cancel keeps it, empty.
    WhenModal<CHelpPropertySheet>(
        [&](CHelpPropertySheet* sheet) { AddOnPort(sheet, "localhost", server.Port()); });
    WhenModal<QMessageBox>([&](QMessageBox* box) {
        messages << box->text();
        QTest::mouseClick(box->button(QMessageBox::Cancel), Qt::LeftButton);
    });
    Click(&dialog, CServersDlg::kAddButton);
    EXPECT_EQ(messages.size(), 2);
    ASSERT_EQ(g_serverTables.size(), 2u);
    EXPECT_EQ(g_serverTables[1]->m_strName, "localhost");
    EXPECT_EQ(g_serverTables[1]->GetCount(), 0u);
    EXPECT_EQ(Items(dialog), (QStringList{"127.0.0.1", "localhost"}));
    EXPECT_TRUE(dialog.isEnabled());
}

// A name already listed, byte for byte or as the hive sees it, only gets the new values.
TEST_F(ServersDlgTest, AddingAListedServerAgainOnlyChangesItsValues) {
    AddConfigured("news.example.com");
    CServersDlg dialog(home.profile, nullptr);
    dialog.show();
    for (const char* name : {"news.example.com", "News.Example.COM"}) {
        WhenModal<CHelpPropertySheet>(
            [&](CHelpPropertySheet* sheet) { AddOnPort(sheet, name, 563); });
        Click(&dialog, CServersDlg::kAddButton);
        EXPECT_EQ(CServerRecord(home.profile, "news.example.com").GetPort(), 563u);
        home.profile.WriteProfileInt("Servers\\news.example.com", "Port", 119);
    }
    EXPECT_EQ(m_nDownloads, 0);
    EXPECT_EQ(g_serverTables.size(), 1u);
    EXPECT_EQ(g_serverTables[0]->GetCount(), 1u);
    EXPECT_EQ(Items(dialog), QStringList{"news.example.com"});
}

TEST_F(ServersDlgTest, TheSheetRefusesUnusableNamesAndPortsWithAMessage) {
    CServersDlg dialog(home.profile, nullptr);
    dialog.show();
    QStringList messages;
    const auto answer = [&messages] {
        WhenModal<QMessageBox>([&messages](QMessageBox* box) {
            messages << box->text();
            QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
        });
    };
    WhenModal<CHelpPropertySheet>([&](CHelpPropertySheet* sheet) {
        QWidget* name = Control(sheet, General::kNameEdit);
        for (const QString typed : {"", "   ", "news/example", "..", "a\\b"}) {
            Type(sheet, General::kNameEdit, typed);
            answer();
            Click(sheet, 1);
            EXPECT_TRUE(sheet->isVisible()) << typed.toStdString();
            EXPECT_EQ(sheet->focusWidget(), name);
        }
        Type(sheet, General::kNameEdit, "news.example.com");
        ShowPage(sheet, 1);
        auto* port = Control<QLineEdit>(sheet, Advanced::kPortEdit);
        QTest::keyClicks(port, "x-. ");
        EXPECT_EQ(port->text(), "119") << "only digits can be typed";
        for (const QString typed : {"10000", "", "99999999999999999999999"}) {
            Type(sheet, Advanced::kPortEdit, typed);
            answer();
            Click(sheet, 1);
            EXPECT_TRUE(sheet->isVisible());
            EXPECT_EQ(sheet->CurrentPage()->Caption(), "Advanced");
        }
        // Leaving the page is refused the same way.
        answer();
        ShowPage(sheet, 0);
        EXPECT_EQ(sheet->CurrentPage()->Caption(), "Advanced");
        Type(sheet, Advanced::kPortEdit, "9999");
        ShowPage(sheet, 0);
        EXPECT_EQ(sheet->CurrentPage()->Caption(), "General");
        Click(sheet, 2);
    });
    Click(&dialog, CServersDlg::kAddButton);

    const QString range = "Please enter an integer between 0 and 9999.";
    EXPECT_EQ(messages, (QStringList{"Please enter the name of the news server.",
                                     "Please enter the name of the news server.",
                                     "\"news/example\" cannot be the name of a news server: a name "
                                     "may not contain a backslash, a slash or control characters, "
                                     "and may not be \".\" or \"..\".",
                                     messages.value(3), messages.value(4), range,
                                     "Please enter an integer.", range, range}));
    EXPECT_TRUE(messages.value(3).startsWith("\"..\" cannot"));
    EXPECT_TRUE(messages.value(4).startsWith("\"a\\b\" cannot"));
    // Cancel after all that: nothing stored.
    EXPECT_FALSE(HasRecord("news.example.com"));
    EXPECT_TRUE(g_serverTables.empty());
    EXPECT_EQ(List(dialog)->count(), 0);
}

// Properties shows the record, the name greyed; OK writes the five values back.
TEST_F(ServersDlgTest, PropertiesEditsTheRecordOfTheSelectedServer) {
    CServerRecord::Settings settings;
    settings.strUser = "ann";
    settings.strPassword = "pw";
    settings.uPort = 563;
    settings.uTimeout = 45000;
    AddConfigured("news.example.com", settings);
    CServersDlg dialog(home.profile, nullptr);
    dialog.show();

    // An OK without changes keeps a timeout the slider does not offer.
    WhenModal<CHelpPropertySheet>([](CHelpPropertySheet* sheet) {
        EXPECT_EQ(sheet->windowTitle(), "News Server Properties");
        auto* name = Control<QLineEdit>(sheet, General::kNameEdit);
        EXPECT_EQ(name->text(), "news.example.com");
        EXPECT_FALSE(name->isEnabled());
        EXPECT_FALSE(Control<QCheckBox>(sheet, General::kLogonCheck)->isChecked());
        EXPECT_FALSE(Control(sheet, General::kAccountEdit)->isEnabled());
        EXPECT_EQ(Control<QLineEdit>(sheet, General::kAccountEdit)->text(), "ann");
        EXPECT_EQ(Control<QLineEdit>(sheet, General::kPasswordEdit)->echoMode(),
                  QLineEdit::Password);
        ShowPage(sheet, 1);
        EXPECT_EQ(Control<QLineEdit>(sheet, Advanced::kPortEdit)->text(), "563");
        EXPECT_EQ(Control<QSlider>(sheet, Advanced::kTimeoutSlider)->value(), 0);
        EXPECT_EQ(Control<QLabel>(sheet, Advanced::kTimeoutText)->text(), "30 Seconds");
        Click(sheet, 1);
    });
    // A double click on the server (its first click selects it) opens its properties too.
    Select(dialog, 0);
    QListWidget* list = List(dialog);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {},
                       list->visualItemRect(list->item(0)).center());
    CServerRecord record(home.profile, "news.example.com");
    EXPECT_EQ(record.GetTimeout(), 45000u);

    // Ticking and unticking the logon box, Use Default and the slider at Long.
    WhenModal<CHelpPropertySheet>([](CHelpPropertySheet* sheet) {
        auto* logon = Control(sheet, General::kLogonCheck);
        QTest::mouseClick(logon, Qt::LeftButton);
        Type(sheet, General::kAccountEdit, "bob");
        QTest::mouseClick(logon, Qt::LeftButton);
        EXPECT_FALSE(Control(sheet, General::kAccountEdit)->isEnabled());
        ShowPage(sheet, 1);
        Click(sheet, Advanced::kDefaultButton);
        EXPECT_EQ(Control<QLineEdit>(sheet, Advanced::kPortEdit)->text(), "119");
        QTest::keyClick(Control(sheet, Advanced::kTimeoutSlider), Qt::Key_End);
        EXPECT_EQ(Control<QLabel>(sheet, Advanced::kTimeoutText)->text(), "2 Minutes");
        Click(sheet, 1);
    });
    Click(&dialog, CServersDlg::kPropertiesButton);
    const CServerRecord::Settings stored = record.Read();
    EXPECT_FALSE(stored.bLoginRequired);
    EXPECT_EQ(stored.strUser, "bob") << "a greyed account is still stored";
    EXPECT_EQ(stored.strPassword, "pw");
    EXPECT_EQ(stored.uPort, 119u);
    EXPECT_EQ(stored.uTimeout, 120000u);
    EXPECT_EQ(Items(dialog), QStringList{"news.example.com"});
    EXPECT_EQ(m_nDownloads, 0);
}

TEST_F(ServersDlgTest, CancelInThePropertiesChangesNothing) {
    AddConfigured("news.example.com");
    const std::vector<CHive::Value> before = Values("news.example.com");
    CServersDlg dialog(home.profile, nullptr);
    dialog.show();
    Select(dialog, 0);
    WhenModal<CHelpPropertySheet>([](CHelpPropertySheet* sheet) {
        QTest::mouseClick(Control(sheet, General::kLogonCheck), Qt::LeftButton);
        Type(sheet, General::kAccountEdit, "bob");
        ShowPage(sheet, 1);
        Type(sheet, Advanced::kPortEdit, "120");
        QTest::keyClick(Control(sheet, Advanced::kTimeoutSlider), Qt::Key_End);
        QTest::keyClick(sheet, Qt::Key_Escape);
    });
    Click(&dialog, CServersDlg::kPropertiesButton);
    const std::vector<CHive::Value> after = Values("news.example.com");
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < after.size(); ++i)
        EXPECT_EQ(after[i].data, before[i].data) << after[i].name;
}

// Remove asks first; Yes takes the record, the table and the item away and moves the
// newsgroup file and its backup to the trash.
TEST_F(ServersDlgTest, RemoveMovesTheNewsgroupFilesToTheTrash) {
    AddConfigured("news.a.org");
    AddConfigured("news.b.org");
    const std::string newsrc = CServerRecord(home.profile, "news.a.org").GetNewsrcPath();
    CServersDlg dialog(home.profile, nullptr);
    dialog.show();
    Select(dialog, 0);

    QString question;
    WhenModal<QMessageBox>([&](QMessageBox* box) {
        question = box->text();
        EXPECT_EQ(box->icon(), QMessageBox::Question);
        QTest::mouseClick(box->button(QMessageBox::No), Qt::LeftButton);
    });
    Click(&dialog, CServersDlg::kRemoveButton);
    EXPECT_EQ(question, "Are you sure you want to remove news.a.org from your server list?");
    EXPECT_EQ(g_serverTables.size(), 2u);
    EXPECT_TRUE(HasRecord("news.a.org"));
    EXPECT_TRUE(fs::exists(newsrc));

    WhenModal<QMessageBox>(
        [](QMessageBox* box) { QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton); });
    Click(&dialog, CServersDlg::kRemoveButton);
    EXPECT_EQ(Items(dialog), QStringList{"news.b.org"});
    ASSERT_EQ(g_serverTables.size(), 1u);
    EXPECT_EQ(g_serverTables[0]->m_strName, "news.b.org");
    EXPECT_FALSE(HasRecord("news.a.org"));
    EXPECT_TRUE(HasRecord("news.b.org"));
    EXPECT_FALSE(fs::exists(newsrc));
    EXPECT_FALSE(fs::exists(newsrc + ".backup"));
    EXPECT_EQ(ReadFile(TrashFile("news.a.org.newsrc")), "alt.test: 10\n");
    EXPECT_EQ(ReadFile(TrashFile("news.a.org.newsrc.backup")), "alt.test: 5\n");
    EXPECT_TRUE(List(dialog)->selectedItems().isEmpty());
    EXPECT_FALSE(Control(&dialog, CServersDlg::kRemoveButton)->isEnabled());
}

// Without a trash to move them to, the files stay where they are and the user is told.
TEST_F(ServersDlgTest, FilesThatCannotGoToTheTrashAreKept) {
    AddConfigured("news.example.com");
    const std::string newsrc = CServerRecord(home.profile, "news.example.com").GetNewsrcPath();
    const std::string notAFolder = home / "not-a-folder";
    WriteFile(notAFolder, "");
    const ScopedEnv noTrash("XDG_DATA_HOME", notAFolder.c_str());
    // Qt files a file it has no trash for below the working folder; it must come back.
    const WorkingFolder inHome(home.Path());
    CServersDlg dialog(home.profile, nullptr);
    dialog.show();
    Select(dialog, 0);
    QStringList messages;
    const std::function<void(QMessageBox*)> answer = [&](QMessageBox* box) {
        messages << box->text();
        const bool question = box->icon() == QMessageBox::Question;
        QTest::mouseClick(box->button(question ? QMessageBox::Yes : QMessageBox::Ok),
                          Qt::LeftButton);
        if (messages.size() < 3)
            WhenModal<QMessageBox>(answer);
    };
    WhenModal<QMessageBox>(answer);
    Click(&dialog, CServersDlg::kRemoveButton);

    ASSERT_EQ(messages.size(), 3);
    EXPECT_EQ(messages[1], QString::fromStdString("The newsgroup file " + newsrc +
                                                  " could not be moved to the trash, so it was "
                                                  "left where it is."));
    EXPECT_TRUE(messages[2].contains(".newsrc.backup"));
    EXPECT_EQ(ReadFile(newsrc), "alt.test: 10\n");
    EXPECT_EQ(ReadFile(newsrc + ".backup"), "alt.test: 5\n");
    EXPECT_FALSE(HasRecord("news.example.com"));
    EXPECT_TRUE(g_serverTables.empty());
    EXPECT_FALSE(fs::exists(home / "files"));
    EXPECT_FALSE(fs::exists(home / "info"));
}

} // namespace

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "FakeListHost.h"
#include "TestHome.h"
#include "app/CMainApp.h"
#include "platform/ConnectionErrors.h"
#include "platform/Diagnostics.h"
#include "servers/CGroupTable.h"
#include "support/TestApplication.h"

namespace {

class StartupShutdown : public ::testing::Test {
  protected:
    void TearDown() override {
        g_serverTables.clear();
        CGroupTable::SetListHost(nullptr);
    }
    TestHome home;
    std::ostringstream err;
};

TEST_F(StartupShutdown, LoadsEverythingAndWritesItBackWithANewsrcBackup) {
    const std::string newsrc = "alt.binaries.test: 1200 1187 1190\ncomp.misc! 0\n";
    home.Write("HKCU.reg", HiveText({"news.test"},
                                    "\"m_bLog\"=dword:00000007\n\"m_uMinLines\"=dword:00000064\n"));
    home.Write("news.test.newsrc", newsrc);
    home.Write("Gleanwick.killfile", "1,*sale*, cheap\n0,spammer*\n");
    {
        CMainApp app(err);
        app.InitInstance(0);
        ASSERT_EQ(g_serverTables.size(), 1u);
        CGroupTable& table = *g_serverTables[0];
        EXPECT_EQ(table.m_strName, "news.test");
        ASSERT_EQ(table.GetCount(), 2u);
        EXPECT_TRUE(table.GetAt(0).subscribed);
        EXPECT_EQ(table.GetAt(0).pending, (std::vector<uint32_t>{1187, 1190}));
        EXPECT_TRUE(app.Settings().m_bLog);
        EXPECT_EQ(app.Settings().m_uMinLines, 100u);
        EXPECT_EQ(app.Settings().m_DecodeDir, home / "Decodes/");
        ASSERT_EQ(app.KillRules().size(), 2u);
        EXPECT_EQ(app.KillRules()[0].field, 1);
        EXPECT_EQ(app.KillRules()[0].pattern, "*sale*, cheap");

        // What a run would change.
        table.GetAt(0).last = 1300;
        app.Settings().m_uMinLines = 200;
        EXPECT_TRUE(app.ExitInstance());
        EXPECT_TRUE(g_serverTables.empty());
    }
    EXPECT_EQ(home.Read("news.test.newsrc"), "alt.binaries.test: 1300 1187 1190\ncomp.misc! 0\n");
    EXPECT_EQ(home.Read("news.test.newsrc.backup"), newsrc);
    EXPECT_EQ(home.Read("Gleanwick.killfile"), "1,*sale*, cheap\n0,spammer*\n");
    const std::string hive = home.Read("HKCU.reg");
    EXPECT_NE(hive.find("\"m_bLog\"=dword:00000001"), std::string::npos);
    EXPECT_NE(hive.find("\"NEWSRC File\""), std::string::npos);
    EXPECT_EQ(err.str(), "");

    // The next start sees what the last one saved.
    CMainApp again(err);
    again.InitInstance(0);
    EXPECT_EQ(again.Settings().m_uMinLines, 200u);
    ASSERT_EQ(g_serverTables.size(), 1u);
    EXPECT_EQ(g_serverTables[0]->GetAt(0).last, 1300u);
    EXPECT_TRUE(again.ExitInstance());
}

TEST_F(StartupShutdown, TemporaryFilesOfAKilledProcessAreRemovedAtTheNextStart) {
    home.Write("HKCU.reg", HiveText({"news.test"}));
    home.Write("news.test.newsrc", "alt.bin: 5\n");
    const std::vector<std::string> leftovers = {
        "HKCU.reg.tmp-Ab12Cd", "news.test.newsrc.tmp-xY34zW", "Gleanwick.killfile.tmp-000000",
        "Decodes/.gleanwick-Qq11Rr.part"};
    // Names that merely look alike, and the backup, are the user's.
    const std::vector<std::string> kept = {"news.test.newsrc.backup", "news.test.newsrc.tmp-1",
                                           "HKCU.reg.old", "Decodes/pic.jpg"};
    std::filesystem::create_directories(home / "Decodes");
    for (const std::string& name : leftovers)
        home.Write(name, "x");
    for (const std::string& name : kept)
        home.Write(name, "x");
    CMainApp app(err);
    app.InitInstance(0);
    for (const std::string& name : leftovers)
        EXPECT_FALSE(home.Exists(name)) << name;
    for (const std::string& name : kept)
        EXPECT_TRUE(home.Exists(name)) << name;
    app.ExitInstance();
}

TEST_F(StartupShutdown, NoBackupWhenTheSettingIsOff) {
    home.Write("HKCU.reg", HiveText({"news.test"}, "\"m_bBackupNewsrc\"=dword:00000000\n"));
    home.Write("news.test.newsrc", "alt.test: 5\n");
    CMainApp app(err);
    app.InitInstance(0);
    EXPECT_TRUE(app.ExitInstance());
    EXPECT_EQ(home.Read("news.test.newsrc"), "alt.test: 5\n");
    EXPECT_FALSE(home.Exists("news.test.newsrc.backup"));
}

TEST_F(StartupShutdown, AMissingNewsrcFetchesTheFullListWithProgressOnTheConsole) {
    home.Write("HKCU.reg", HiveText({"news.test"}));
    ListHost host(err, ListConnection::Outcome::List,
                  {"comp.misc 10 1 y", "alt.binaries.test 500 100 y"});
    CMainApp app(err);
    app.SetGroupListHost(&host);
    app.InitInstance(0);

    ASSERT_EQ(g_serverTables.size(), 1u);
    ASSERT_EQ(g_serverTables[0]->GetCount(), 2u);
    EXPECT_EQ(g_serverTables[0]->GetAt(0).name, "alt.binaries.test");
    EXPECT_TRUE(g_serverTables[0]->GetAt(0).isNew);
    EXPECT_EQ(err.str(), "Downloading Groups from  news.test\nDownloading group number 0...\n");
    EXPECT_TRUE(app.ExitInstance());
    EXPECT_EQ(home.Read("news.test.newsrc"), "alt.binaries.test! 0\ncomp.misc! 0\n");
}

TEST_F(StartupShutdown, AFailedFetchIsReportedAndTheServerStaysListed) {
    home.Write("HKCU.reg", HiveText({"bad.test", "good.test"}));
    home.Write("good.test.newsrc", "alt.test: 5\n");
    ListHost host(err, ListConnection::Outcome::Fail);
    CMainApp app(err);
    app.SetGroupListHost(&host);
    app.InitInstance(0);

    ASSERT_EQ(g_serverTables.size(), 2u);
    EXPECT_EQ(g_serverTables[0]->m_strName, "bad.test");
    EXPECT_EQ(g_serverTables[0]->GetCount(), 0u);
    EXPECT_EQ(g_serverTables[1]->GetCount(), 1u);
    EXPECT_NE(err.str().find("Unable to access newsgroups for bad.test.\n"), std::string::npos);
    EXPECT_EQ(err.str().find("good.test"), std::string::npos);
    EXPECT_TRUE(app.ExitInstance());
    // Not stored as the server's list: the next start fetches it again.
    EXPECT_FALSE(home.Exists("bad.test.newsrc"));
}

TEST_F(StartupShutdown, AServerNameThatCannotBeAFileNameIsLeftOut) {
    home.Write("HKCU.reg", HiveText({"../evil", "good.test"}));
    home.Write("good.test.newsrc", "alt.test: 5\n");
    ListHost host(err, ListConnection::Outcome::Fail);
    CMainApp app(err);
    app.SetGroupListHost(&host);
    app.InitInstance(0);
    ASSERT_EQ(g_serverTables.size(), 1u);
    EXPECT_EQ(g_serverTables[0]->m_strName, "good.test");
    EXPECT_EQ(host.connections, 0);
    EXPECT_NE(err.str().find("Unable to access newsgroups for ../evil.\n"), std::string::npos);
    EXPECT_TRUE(app.ExitInstance());
    EXPECT_FALSE(home.Exists("../evil.newsrc"));
}

TEST_F(StartupShutdown, ACancelledLogonDuringTheFetchIsSilent) {
    home.Write("HKCU.reg", HiveText({"news.test"}));
    ListHost host(err, ListConnection::Outcome::Cancel);
    CMainApp app(err);
    app.SetGroupListHost(&host);
    app.InitInstance(0);
    EXPECT_EQ(host.connections, 1);
    EXPECT_EQ(g_serverTables.size(), 1u);
    EXPECT_EQ(err.str().find("Unable to access"), std::string::npos);
    EXPECT_FALSE(app.HasLoadFailures());
    EXPECT_TRUE(app.ExitInstance());
}

TEST_F(StartupShutdown, WithoutAUserTheCancelledLogonIsAReportedFailure) {
    home.Write("HKCU.reg", HiveText({"news.test"}));
    ListHost host(err, ListConnection::Outcome::Cancel);
    CMainApp app(err);
    app.SetGroupListHost(&host);
    app.SetInteractive(false);
    app.InitInstance(0);
    EXPECT_NE(err.str().find("Unable to access newsgroups for news.test.\n"), std::string::npos);
    EXPECT_TRUE(app.HasLoadFailures());
    EXPECT_TRUE(app.ExitInstance());
}

TEST_F(StartupShutdown, ANewsrcThatCannotBeReadIsReportedAndNeverReplaced) {
    // Something that cannot be read where the file should be: it is not taken for a missing
    // file (whose server would get a fresh list), and nothing overwrites it.
    std::filesystem::create_directory(home / "first.test.newsrc");
    home.Write("HKCU.reg", HiveText({"first.test", "second.test"}));
    home.Write("second.test.newsrc", "alt.test: 5\n");
    ListHost host(err, ListConnection::Outcome::List, {"alt.new 1 1 y", "."});
    CMainApp app(err);
    app.SetGroupListHost(&host);
    app.InitInstance(0);
    EXPECT_EQ(host.connections, 0);
    EXPECT_NE(err.str().find("Unable to access newsgroups for first.test.\n  cannot read " +
                             (home / "first.test.newsrc")),
              std::string::npos)
        << err.str();
    ASSERT_EQ(g_serverTables.size(), 2u);
    EXPECT_EQ(g_serverTables[0]->GetCount(), 0u);
    g_serverTables[1]->GetAt(0).last = 9;

    EXPECT_TRUE(app.ExitInstance());
    EXPECT_TRUE(std::filesystem::is_directory(home / "first.test.newsrc"));
    EXPECT_FALSE(home.Exists("first.test.newsrc.backup"));
    EXPECT_EQ(home.Read("second.test.newsrc"), "alt.test: 9\n");
}

TEST_F(StartupShutdown, AKillFileThatCannotBeReadIsReportedAndNeverReplaced) {
    home.Write("HKCU.reg", HiveText({}));
    std::filesystem::create_directory(home / "Gleanwick.killfile");
    CMainApp app(err);
    app.InitInstance(0);
    EXPECT_NE(err.str().find("Unable to read the kill rules from " + (home / "Gleanwick.killfile")),
              std::string::npos);
    app.KillRules().push_back({0, "new"});
    EXPECT_TRUE(app.SaveSettings());
    EXPECT_TRUE(app.ExitInstance());
    EXPECT_TRUE(std::filesystem::is_directory(home / "Gleanwick.killfile"));
}

TEST_F(StartupShutdown, ANewsrcThatCannotBeWrittenDoesNotStopTheOthers) {
    home.Write("HKCU.reg", HiveText({"first.test", "second.test"}));
    home.Write("first.test.newsrc", "alt.first: 1\n");
    home.Write("second.test.newsrc", "alt.test: 5\n");
    CMainApp app(err);
    app.InitInstance(0);
    ASSERT_EQ(g_serverTables.size(), 2u);
    g_serverTables[1]->GetAt(0).last = 9;
    // The first file's folder goes away: its replacement cannot be made.
    app.Profile().WriteProfileString("Servers\\first.test", "NEWSRC File",
                                     home / "gone/first.test.newsrc");

    EXPECT_FALSE(app.ExitInstance());
    EXPECT_NE(err.str().find("Unable to save " + (home / "gone/first.test.newsrc")),
              std::string::npos);
    EXPECT_EQ(home.Read("second.test.newsrc"), "alt.test: 9\n");
    EXPECT_TRUE(home.Exists("HKCU.reg"));
}

TEST_F(StartupShutdown, ACorruptHiveIsKeptAsideAndStartUpGoesOn) {
    home.Write("HKCU.reg", "this is not a registry file\n[unterminated");
    CMainApp app(err);
    app.InitInstance(0);
    EXPECT_TRUE(g_serverTables.empty());
    EXPECT_TRUE(app.ExitInstance());

    bool keptAside = false;
    for (const auto& entry : std::filesystem::directory_iterator(home.Path())) {
        const std::string name = entry.path().filename().string();
        if (name != "HKCU.reg" && home.Read(name).find("not a registry file") != std::string::npos)
            keptAside = true;
    }
    EXPECT_TRUE(keptAside);
    EXPECT_EQ(home.Read("HKCU.reg").find("Windows Registry Editor Version 5.00"), 0u);
}

TEST_F(StartupShutdown, DebugLevelOpensTheDiagnosticsFileUntilShutdown) {
    TestApplication();
    home.Write("HKCU.reg", HiveText({}));
    CMainApp app(err);
    app.InitInstance(2);
    EXPECT_EQ(g_nDebugLevel, 2);
    EXPECT_TRUE(IsDiagnosticsFileOpen());
    EXPECT_TRUE(home.Exists("GLEANWICK.DBG"));
    EXPECT_TRUE(app.ExitInstance());
    EXPECT_FALSE(IsDiagnosticsFileOpen());
    g_nDebugLevel = 0;
}

} // namespace

TEST(StartupShutdownSaving, AKillFileThatCannotBeWrittenIsReportedAndFailsTheExit) {
    TestHome home;
    std::ostringstream err;
    CMainApp app(err);
    std::vector<std::string> told;
    app.SetProblemReporter([&](const std::string& message) { told.push_back(message); });
    app.InitInstance(0);
    // A folder in the kill file's place: nothing can be renamed over it.
    std::filesystem::create_directory(home / "Gleanwick.killfile");
    app.KillRules().push_back({0, "spammer*"});
    EXPECT_FALSE(app.SaveSettings());
    EXPECT_FALSE(app.ExitInstance());
    ASSERT_EQ(told.size(), 2u);
    EXPECT_EQ(told[0].rfind("Unable to save the kill rules to " + home / "Gleanwick.killfile", 0),
              0u);
    // Told through the reporter only; the settings were still written.
    EXPECT_EQ(err.str(), "");
    EXPECT_NE(home.Read("HKCU.reg").find("m_uMinLines"), std::string::npos);
    g_serverTables.clear();
}

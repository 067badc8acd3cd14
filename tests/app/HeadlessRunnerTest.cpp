#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <sstream>

#include "FakeListHost.h"
#include "FakeNewsServer.h"
#include "TestHome.h"
#include "app/CHeadlessRunner.h"
#include "app/CMainApp.h"
#include "servers/CGroupTable.h"
#include "support/TestApplication.h"

namespace {

char UuChar(unsigned value) {
    return value == 0 ? '`' : static_cast<char>(value + 32);
}

// A complete uuencoded file as it appears in a body: begin line, data, "`", end.
std::vector<std::string> Uuencode(const std::string& name, const std::string& data) {
    std::vector<std::string> lines{"begin 644 " + name};
    for (std::size_t pos = 0; pos < data.size(); pos += 45) {
        const std::size_t n = std::min<std::size_t>(45, data.size() - pos);
        std::string line(1, UuChar(static_cast<unsigned>(n)));
        for (std::size_t i = 0; i < n; i += 3) {
            unsigned char b[3] = {0, 0, 0};
            for (std::size_t k = 0; k < 3 && i + k < n; ++k)
                b[k] = static_cast<unsigned char>(data[pos + i + k]);
            line += UuChar(b[0] >> 2);
            line += UuChar(((b[0] & 3) << 4) | (b[1] >> 4));
            line += UuChar(((b[1] & 15) << 2) | (b[2] >> 6));
            line += UuChar(b[2] & 63);
        }
        lines.push_back(line);
    }
    lines.push_back("`");
    lines.push_back("end");
    return lines;
}

FakeNewsServer::Article Binary(const std::string& name, const std::string& data) {
    FakeNewsServer::Article article;
    article.body = Uuencode(name, data);
    article.headers = {"From: Poster <poster@example.com>", "Subject: " + name,
                       "Message-ID: <" + name + "@example.com>",
                       "Lines: " + std::to_string(article.body.size())};
    return article;
}

FakeNewsServer::Article Text() {
    return {{"From: Someone <s@example.com>", "Subject: just talk", "Lines: 1"}, {"hello"}};
}

bool Contains(const std::vector<std::string>& commands, const std::string& command) {
    return std::find(commands.begin(), commands.end(), command) != commands.end();
}

class HeadlessRun : public ::testing::Test {
  protected:
    HeadlessRun() {
        TestApplication();
        data = std::string(2000, '\0');
        for (std::size_t i = 0; i < data.size(); ++i)
            data[i] = static_cast<char>(i * 7 + 3);
        server.groups["alt.binaries.test"][10] = Binary("pic.bin", data);
        server.groups["alt.binaries.test"][11] = Text();
    }
    void TearDown() override {
        g_serverTables.clear();
        CGroupTable::SetListHost(nullptr);
    }

    // Starts the program with the given hive rows, runs one extraction or catch-up and shuts
    // down; returns the run's exit status.
    int RunOnce(int mode, const std::vector<std::string>& servers = {"news.test"},
                const std::string& settings = {}) {
        home.Write("HKCU.reg", HiveText(servers, "\"m_uMinLines\"=dword:00000000\n" + settings));
        CMainApp app(err);
        app.InitInstance(0);
        int status = 0;
        {
            CHeadlessRunner runner(app, server.Factory(), out, err, progressLine);
            if (stopBeforeRun != 0)
                runner.RequestStop(stopBeforeRun);
            status = runner.Run(mode);
        }
        saved = app.ExitInstance();
        return status;
    }

    TestHome home;
    FakeNewsServer server;
    std::string data;
    std::ostringstream out;
    std::ostringstream err;
    bool progressLine = false;
    bool saved = false;
    int stopBeforeRun = 0;
};

TEST_F(HeadlessRun, ExtractionPrintsLogAndFileLinesDecodesAndSavesEverything) {
    home.Write("news.test.newsrc", "alt.binaries.test: 0\ncomp.misc! 0\n");

    EXPECT_EQ(RunOnce(0), CHeadlessRunner::kComplete);

    const std::string fileLine =
        "File: pic.bin (" + std::to_string(server.groups["alt.binaries.test"][10].body.size()) +
        " lines) Poster <poster@example.com> / pic.bin\n";
    EXPECT_EQ(out.str(), "Connecting to news.test\n"
                         "Checking group alt.binaries.test for attachments\n" +
                             fileLine + "Extract Complete\n");
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(home.Read("Decodes/pic.bin"), data);
    EXPECT_TRUE(saved);
    EXPECT_EQ(home.Read("news.test.newsrc"), "alt.binaries.test: 12\ncomp.misc! 0\n");
    // The run saved the file after the group, the exit again: the backup is the file as the
    // run found it.
    EXPECT_EQ(home.Read("news.test.newsrc.backup"), "alt.binaries.test: 0\ncomp.misc! 0\n");
    EXPECT_EQ(server.commands.back(), "QUIT");
}

TEST_F(HeadlessRun, CatchUpMovesPositionsWithoutFetchingArticles) {
    home.Write("news.test.newsrc", "alt.binaries.test: 0\n");

    EXPECT_EQ(RunOnce(1), CHeadlessRunner::kComplete);

    EXPECT_EQ(out.str(), "Connecting to news.test\n"
                         "Catching up group alt.binaries.test.\n"
                         "Catch-up Complete\n");
    EXPECT_FALSE(Contains(server.commands, "HEAD 10"));
    EXPECT_FALSE(home.Exists("Decodes/pic.bin"));
    EXPECT_EQ(home.Read("news.test.newsrc"), "alt.binaries.test: 11\n");
}

TEST_F(HeadlessRun, AFailedServerGivesStatusOneWhileTheOthersAreStillRun) {
    home.Write("bad.test.newsrc", "alt.binaries.test: 0\n");
    home.Write("news.test.newsrc", "alt.binaries.test: 0\n");
    server.unreachable.insert("bad.test");

    EXPECT_EQ(RunOnce(0, {"bad.test", "news.test"}), CHeadlessRunner::kServerFailed);

    const std::string text = out.str();
    EXPECT_NE(text.find("Failed to connect to bad.test\n"), std::string::npos);
    EXPECT_NE(text.find("Extract Complete\n"), std::string::npos);
    EXPECT_EQ(home.Read("news.test.newsrc"), "alt.binaries.test: 12\n");
    EXPECT_EQ(home.Read("bad.test.newsrc"), "alt.binaries.test: 0\n");
}

TEST_F(HeadlessRun, ARunThatEndsBeforeTheLoopStartsLeavesNothingBehind) {
    home.Write("news.test.newsrc", "alt.binaries.test: 0\n");
    server.unresolvable.insert("news.test");

    EXPECT_EQ(RunOnce(0), CHeadlessRunner::kServerFailed);
    EXPECT_EQ(out.str(), "Connecting to news.test\n"
                         "Failed to connect to news.test\n"
                         "Extract Complete\n");
    // Calls the runner queued must not reach it after it is gone.
    QCoreApplication::processEvents();
}

TEST_F(HeadlessRun, ABrokenConnectionDuringTheRunCountsAsAFailure) {
    home.Write("news.test.newsrc", "alt.binaries.test: 0\n");
    server.afterReply["HEAD 10"] = [](CSocketOwnerWnd& owner) {
        owner.OnConnectionError(CSocketOwnerWnd::kSocketNotification, 10054);
    };

    EXPECT_EQ(RunOnce(0), CHeadlessRunner::kServerFailed);
    EXPECT_NE(out.str().find("Error communicating with host news.test\n"), std::string::npos);
}

TEST_F(HeadlessRun, ARefusedPasswordCannotBePromptedForAndFailsTheServer) {
    home.Write("news.test.newsrc", "alt.binaries.test: 0\n");
    home.Write("HKCU.reg", "");
    server.refusePassword = true;
    const std::string login = "[HKEY_CURRENT_USER\\Software\\Hollowfen\\Gleanwick\\Servers\\"
                              "news.test]\n\"Login Required\"=dword:00000001\n"
                              "\"Login User\"=\"joe\"\n\"Login Password\"=\"wrong\"\n";

    EXPECT_EQ(RunOnce(0, {}, "\n" + login), CHeadlessRunner::kServerFailed);

    EXPECT_NE(out.str().find("Failed to connect to news.test\n"), std::string::npos);
    EXPECT_TRUE(Contains(server.commands, "AUTHINFO PASS wrong"));
    EXPECT_EQ(server.connections, 1); // no second login with new values
    EXPECT_NE(out.str().find("Extract Complete\n"), std::string::npos);
}

TEST_F(HeadlessRun, NothingToDoWithoutServersOrSubscribedGroups) {
    EXPECT_EQ(RunOnce(0, {}), CHeadlessRunner::kNothingToDo);
    EXPECT_NE(err.str().find("No news servers are configured"), std::string::npos);

    err.str("");
    home.Write("news.test.newsrc", "alt.binaries.test! 0\n");
    EXPECT_EQ(RunOnce(0), CHeadlessRunner::kNothingToDo);
    EXPECT_NE(err.str().find("No newsgroups are subscribed"), std::string::npos);
    EXPECT_EQ(server.connections, 0);
    EXPECT_EQ(out.str(), "");
}

TEST_F(HeadlessRun, AServerWhoseGroupsCannotBeReadAtStartUpCountsAsFailed) {
    // No .newsrc for bad.test and no way to download its list.
    home.Write("news.test.newsrc", "alt.binaries.test: 0\n");

    EXPECT_EQ(RunOnce(0, {"bad.test", "news.test"}), CHeadlessRunner::kServerFailed);
    EXPECT_NE(err.str().find("Unable to access newsgroups for bad.test.\n"), std::string::npos);
    EXPECT_NE(out.str().find("Extract Complete\n"), std::string::npos);

    // When it was the only server, that is a failure too, not merely nothing to do. (The
    // exit saved its empty table; without the file the next start tries the list again.)
    std::filesystem::remove(home / "bad.test.newsrc");
    err.str("");
    EXPECT_EQ(RunOnce(0, {"bad.test"}), CHeadlessRunner::kServerFailed);
    EXPECT_NE(err.str().find("No newsgroups are subscribed"), std::string::npos);
}

TEST_F(HeadlessRun, ASignalDuringTheGroupListDownloadEndsItAndTheRunDoesNotStart) {
    home.Write("HKCU.reg", HiveText({"news.test"}));
    std::vector<std::string> list;
    for (int i = 0; i < 300; ++i)
        list.push_back("alt.group" + std::to_string(1000 + i) + " 10 1 y");
    ListHost host(err, ListConnection::Outcome::List, list);
    int reads = 0;
    host.onRead = [&reads] {
        if (++reads == 51)
            std::raise(SIGINT);
    };
    // As the program does it: the runner (and its signal handling) exists during start-up.
    CMainApp app(err);
    CHeadlessRunner runner(app, server.Factory(), out, err, false);
    host.cancelled = [&runner] { return runner.StopRequested(); };
    app.SetGroupListHost(&host);
    app.InitInstance(0);

    EXPECT_EQ(runner.Run(0), CHeadlessRunner::kSignalBase + SIGINT);
    EXPECT_EQ(server.connections, 0);
    ASSERT_EQ(g_serverTables.size(), 1u);
    const std::size_t received = g_serverTables[0]->GetCount();
    EXPECT_GE(received, 50u);
    EXPECT_LT(received, 300u);
    // The groups received so far are kept.
    EXPECT_TRUE(app.ExitInstance());
    const std::string newsrc = home.Read("news.test.newsrc");
    EXPECT_EQ(static_cast<std::size_t>(std::count(newsrc.begin(), newsrc.end(), '\n')), received);
}

TEST_F(HeadlessRun, SigtermStopsTheRunDeletesThePartialFileAndKeepsThePosition) {
    home.Write("news.test.newsrc", "alt.binaries.test: 0\n");
    server.stallBodies = true;
    server.afterReply["BODY"] = [](CSocketOwnerWnd&) { std::raise(SIGTERM); };

    EXPECT_EQ(RunOnce(0), CHeadlessRunner::kSignalBase + SIGTERM);

    EXPECT_NE(out.str().find("File: pic.bin"), std::string::npos); // the decode had begun
    EXPECT_NE(err.str().find("Stopping on SIGTERM.\n"), std::string::npos);
    EXPECT_EQ(out.str().find("Extract Complete"), std::string::npos);
    EXPECT_FALSE(home.Exists("Decodes/pic.bin"));
    EXPECT_EQ(server.commands.back(), "QUIT");
    // The article being decoded is where the next run starts again.
    EXPECT_TRUE(saved);
    EXPECT_EQ(home.Read("news.test.newsrc"), "alt.binaries.test: 10\n");
}

TEST_F(HeadlessRun, AStopBeforeTheRunKeepsItFromStarting) {
    home.Write("news.test.newsrc", "alt.binaries.test: 0\n");
    stopBeforeRun = SIGINT;

    EXPECT_EQ(RunOnce(0), CHeadlessRunner::kSignalBase + SIGINT);
    EXPECT_EQ(server.connections, 0);
    EXPECT_EQ(home.Read("news.test.newsrc"), "alt.binaries.test: 0\n");
}

TEST_F(HeadlessRun, ProgressLineOnATerminalIsErasedBeforeOutputAndAtTheEnd) {
    home.Write("news.test.newsrc", "alt.binaries.test: 0\n");
    progressLine = true;
    std::ostringstream shared;
    // Log lines and the status line on one stream, as on a terminal.
    home.Write("HKCU.reg", HiveText({"news.test"}, "\"m_uMinLines\"=dword:00000000\n"));
    CMainApp app(err);
    app.InitInstance(0);
    {
        CHeadlessRunner runner(app, server.Factory(), shared, shared, true, 200);
        EXPECT_EQ(runner.Run(0), CHeadlessRunner::kComplete);
    }
    EXPECT_TRUE(app.ExitInstance());

    const std::string text = shared.str();
    EXPECT_NE(text.find("\r\033[Kalt.binaries.test"), std::string::npos);
    // Every log line starts at the left margin, and the status line is gone at the end.
    EXPECT_NE(text.find("\r\033[KExtract Complete\n"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 4), "\r\033[K");
}

} // namespace

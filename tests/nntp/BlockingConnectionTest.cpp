#include <QElapsedTimer>
#include <QTcpServer>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "NntpTestSupport.h"
#include "nntp/CLogonPrompt.h"
#include "nntp/CNewsConnection.h"
#include "platform/ConnectionErrors.h"
#include "support/ScriptedServer.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

const std::string kServer = "127.0.0.1";

class BlockingConnectionTest : public NntpTest {
  protected:
    void UseServer(const ScriptedServer& server, unsigned timeoutMs = 5000) {
        Configure(kServer, server.Port(), timeoutMs);
    }
    void StoreLogin(const std::string& user, const std::string& password) {
        m_profile.WriteProfileInt(Section(kServer), "Login Required", 1);
        m_profile.WriteProfileString(Section(kServer), "Login User", user);
        m_profile.WriteProfileString(Section(kServer), "Login Password", password);
    }
    // The prompt answers with these values, or cancels when `confirm` is false.
    void InstallPrompt(bool confirm, std::string user = {}, std::string password = {}) {
        CLogonPrompt::Install(
            [=, this](std::string& account, std::string& pass, const std::string& server) {
                m_promptsShown.push_back(server + ":" + account + ":" + pass);
                account = user;
                pass = password;
                return confirm;
            });
    }
    std::string Stored(const char* name) {
        return m_profile.GetProfileString(Section(kServer), name);
    }

    std::vector<std::string> m_promptsShown;
};

TEST_F(BlockingConnectionTest, ListExchangeReadsEveryLineAndQuits) {
    // The reply's status line and its first group line arrive split mid-line.
    ScriptedServer server({Script()
                               .Send("201 no posting\r\n")
                               .Expect("MODE READER")
                               .Send("200 reader\r\n")
                               .Expect("LIST")
                               .Send("215 li")
                               .Pause(50)
                               .Send("st follows\r\nalt.one 10 1 y\r")
                               .Pause(50)
                               .Send(std::string("\nalt.t\0wo 5 1 n\r\n.\r\n", 20))});
    UseServer(server);
    CNewsConnection connection(kServer, m_profile);
    connection.Connect();
    connection.SendLine("LIST");
    EXPECT_EQ(connection.ExpectCode(215), 215);
    EXPECT_EQ(connection.ReadLine(), "alt.one 10 1 y");
    EXPECT_EQ(connection.ReadLine(), "alt.t wo 5 1 n");
    EXPECT_EQ(connection.ReadLine(), ".");
    connection.Close();
    ASSERT_TRUE(server.WaitDone(5000));
    EXPECT_THAT(server.Received(), ElementsAre(ElementsAre("MODE READER", "LIST", "QUIT")));
    EXPECT_THAT(server.Mismatches(), IsEmpty());
}

TEST_F(BlockingConnectionTest, RefusedGreetingOrReaderModeFailsWithoutQuit) {
    ScriptedServer server(
        {Script().Send("400 go away\r\n"),
         Script().Send("200 ok\r\n").Expect("MODE READER").Send("502 no\r\n"),
         Script().Send("200 ok\r\n").Expect("MODE READER").Send("500 what?\r\n")});
    UseServer(server);
    CNewsConnection connection(kServer, m_profile);
    EXPECT_THROW(connection.Connect(), CConnectionException);
    EXPECT_THROW(connection.Connect(), CConnectionException);
    // 500: a server without reader mode is fine.
    EXPECT_NO_THROW(connection.Connect());
    connection.Close();
    ASSERT_TRUE(server.WaitDone(5000));
    EXPECT_THAT(server.Received(), ElementsAre(IsEmpty(), ElementsAre("MODE READER"),
                                               ElementsAre("MODE READER", "QUIT")));
}

TEST_F(BlockingConnectionTest, StoredLoginIsSentAndOtherUserRepliesFail) {
    ScriptedServer server(
        {Script()
             .Send("200 ok\r\n")
             .Expect("AUTHINFO USER joe")
             .Send("381 more\r\n")
             .Expect("AUTHINFO PASS secret")
             .Send("281 welcome\r\n")
             .Expect("MODE READER")
             .Send("200 reader\r\n"),
         Script().Send("200 ok\r\n").Expect("AUTHINFO USER joe").Send("482 no such user\r\n")});
    UseServer(server);
    StoreLogin("joe", "secret");
    CNewsConnection connection(kServer, m_profile);
    connection.Connect();
    EXPECT_THROW(connection.Connect(), CConnectionException);
    ASSERT_TRUE(server.WaitDone(5000));
    EXPECT_THAT(server.Mismatches(), IsEmpty());
    EXPECT_THAT(server.Received()[1], ElementsAre("AUTHINFO USER joe"));
}

// A refused password: the prompt is shown with the stored values; after OK a new
// connection logs in with the values entered, which are stored.
TEST_F(BlockingConnectionTest, RefusedPasswordPromptsAndReconnectsWithTheNewValues) {
    ScriptedServer server({Script()
                               .Send("200 ok\r\n")
                               .Expect("AUTHINFO USER joe")
                               .Send("381 more\r\n")
                               .Expect("AUTHINFO PASS old")
                               .Send("502 wrong\r\n")
                               .Expect("QUIT"),
                           Script()
                               .Send("200 again\r\n")
                               .Expect("AUTHINFO USER ann")
                               .Send("381 more\r\n")
                               .Expect("AUTHINFO PASS new")
                               .Send("281 welcome\r\n")
                               .Expect("MODE READER")
                               .Send("200 reader\r\n")
                               .Expect("MODE READER")
                               .Send("200 reader\r\n")
                               .Expect("LIST")
                               .Send("215 list\r\n.\r\n")});
    UseServer(server);
    StoreLogin("joe", "old");
    InstallPrompt(true, "ann", "new");
    CNewsConnection connection(kServer, m_profile);
    connection.Connect();
    connection.SendLine("LIST");
    connection.ExpectCode(215);
    EXPECT_EQ(connection.ReadLine(), ".");
    connection.Close();
    ASSERT_TRUE(server.WaitDone(5000));
    EXPECT_THAT(server.Mismatches(), IsEmpty());
    EXPECT_THAT(m_promptsShown, ElementsAre("127.0.0.1:joe:old"));
    EXPECT_EQ(Stored("Login User"), "ann");
    EXPECT_EQ(Stored("Login Password"), "new");
}

TEST_F(BlockingConnectionTest, CancelledOrMissingPromptRaisesUserCancelAndStoresNothing) {
    Script refusal = Script()
                         .Send("200 ok\r\n")
                         .Expect("AUTHINFO USER joe")
                         .Send("381 more\r\n")
                         .Expect("AUTHINFO PASS old")
                         .Send("502 wrong\r\n")
                         .Expect("QUIT");
    ScriptedServer server({refusal, refusal});
    UseServer(server);
    StoreLogin("joe", "old");
    InstallPrompt(false, "ann", "new");
    CNewsConnection connection(kServer, m_profile);
    EXPECT_THROW(connection.Connect(), CUserCancelException);
    CLogonPrompt::Install({});
    EXPECT_THROW(connection.Connect(), CUserCancelException);
    ASSERT_TRUE(server.WaitDone(5000));
    EXPECT_THAT(server.Mismatches(), IsEmpty());
    EXPECT_EQ(m_promptsShown.size(), 1u);
    EXPECT_EQ(Stored("Login User"), "joe");
    EXPECT_EQ(Stored("Login Password"), "old");
}

// MODE READER refused with 480: the prompt, then a login with what was entered, even
// on a server that had no login stored.
TEST_F(BlockingConnectionTest, ReaderModeAskingForAuthenticationPromptsThenLogsIn) {
    ScriptedServer server({Script()
                               .Send("200 ok\r\n")
                               .Expect("MODE READER")
                               .Send("480 authentication required\r\n")
                               .Expect("AUTHINFO USER ann")
                               .Send("381 more\r\n")
                               .Expect("AUTHINFO PASS new")
                               .Send("281 welcome\r\n")
                               .Expect("LIST")});
    UseServer(server);
    InstallPrompt(true, "ann", "new");
    CNewsConnection connection(kServer, m_profile);
    connection.Connect();
    connection.SendLine("LIST");
    connection.Close();
    ASSERT_TRUE(server.WaitDone(5000));
    EXPECT_THAT(server.Mismatches(), IsEmpty());
    EXPECT_THAT(m_promptsShown, ElementsAre("127.0.0.1::"));
    EXPECT_EQ(m_profile.GetProfileInt(Section(kServer), "Login Required", 0), 1u);
}

TEST_F(BlockingConnectionTest, SilentOrClosingServerEndsTheReadWithAConnectionFailure) {
    ScriptedServer server({Script().Send("200 ok\r\n").Expect("MODE READER"),
                           Script()
                               .Send("200 ok\r\n")
                               .Expect("MODE READER")
                               .Send("200 reader\r\n")
                               .Expect("LIST")
                               .Send("215 list\r\nalt.one 1 1 y\r\nalt.tw")
                               .Close()});
    UseServer(server, 300);
    CNewsConnection connection(kServer, m_profile);
    QElapsedTimer clock;
    clock.start();
    try {
        connection.Connect();
        FAIL() << "a silent server was accepted";
    } catch (const CConnectionException& e) {
        EXPECT_EQ(e.m_nError, 10060);
        EXPECT_GE(clock.elapsed(), 250);
    }
    connection.Connect();
    connection.SendLine("LIST");
    // The download turns the event loop between lines; the close may be seen there first.
    PumpFor(200);
    connection.ExpectCode(215);
    EXPECT_EQ(connection.ReadLine(), "alt.one 1 1 y");
    EXPECT_THROW(connection.ReadLine(), CConnectionException);
}

TEST_F(BlockingConnectionTest, ALineTricklingInEndsTheReadWithinTheLimit) {
    Script script;
    script.Send("200 ok\r\n").Expect("MODE READER").Send("200 reader\r\n").Expect("LIST");
    script.Send("215 list\r\nalt.one 1 1 y\r\nalt.t");
    for (int i = 0; i < 40; ++i)
        script.Pause(100).Send("w");
    ScriptedServer server({script});
    UseServer(server, 500);
    CNewsConnection connection(kServer, m_profile);
    connection.Connect();
    connection.SendLine("LIST");
    connection.ExpectCode(215);
    EXPECT_EQ(connection.ReadLine(), "alt.one 1 1 y");
    QElapsedTimer clock;
    clock.start();
    try {
        connection.ReadLine();
        FAIL() << "a line that never ends was accepted";
    } catch (const CConnectionException& e) {
        EXPECT_EQ(e.m_nError, 10060);
    }
    EXPECT_LT(clock.elapsed(), 1500);
}

// A Cancel while the server stalls acts at once instead of after the time limit.
TEST_F(BlockingConnectionTest, AStopAskedForWhileTheServerStallsEndsTheReadAtOnce) {
    Script script;
    script.Send("200 ok\r\n").Expect("MODE READER").Send("200 reader\r\n").Expect("LIST");
    script.Send("215 list\r\nalt.one 1 1 y\r\n").Pause(10000);
    ScriptedServer server({script});
    UseServer(server, 8000);
    CNewsConnection connection(kServer, m_profile);
    connection.Connect();
    connection.SendLine("LIST");
    connection.ExpectCode(215);
    QElapsedTimer clock;
    clock.start();
    int checks = 0;
    connection.SetStopCheck([&] {
        ++checks;
        return clock.elapsed() >= 300;
    });
    EXPECT_EQ(connection.ReadLine(), "alt.one 1 1 y");
    EXPECT_THROW(connection.ReadLine(), CUserCancelException);
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_GE(checks, 2);
}

TEST_F(BlockingConnectionTest, UnknownHostAndRefusedConnectionFail) {
    CNewsConnection unknown("nonexistent.invalid", m_profile);
    try {
        unknown.Connect();
        FAIL() << "an unknown host was connected";
    } catch (const CConnectionException& e) {
        EXPECT_EQ(e.m_nError, 11001);
    }
    quint16 freePort;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        freePort = probe.serverPort();
    }
    Configure(kServer, freePort, 5000);
    CNewsConnection refused(kServer, m_profile);
    try {
        refused.Connect();
        FAIL() << "a closed port was connected";
    } catch (const CConnectionException& e) {
        EXPECT_EQ(e.m_nError, 10061);
    }
}

} // namespace

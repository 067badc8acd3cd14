#include <QElapsedTimer>

#include <algorithm>
#include <cctype>
#include <memory>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "NntpTestSupport.h"
#include "TlsTestSupport.h"
#include "nntp/CCertificatePrompt.h"
#include "nntp/CNewsConnection.h"
#include "platform/ConnectionErrors.h"
#include "support/ScriptedServer.h"

using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Pair;
using ::testing::SizeIs;

namespace {

const std::string kServer = "127.0.0.1";
constexpr int kSocket = CSocketOwnerWnd::kSocketNotification;
constexpr int kTimer = CSocketOwnerWnd::kTimerNotification;

// A server that logs the user in and lists nothing, for a connection secured from the start.
Script LoginAndList() {
    return Script()
        .Send("200 ready\r\n")
        .Expect("AUTHINFO USER joe")
        .Send("381 more\r\n")
        .Expect("AUTHINFO PASS secret")
        .Send("281 ok\r\n")
        .Expect("MODE READER")
        .Send("200 reader\r\n")
        .Expect("LIST")
        .Send("215 list\r\nalt.one 2 1 y\r\n.\r\n");
}

// The same after STARTTLS.
Script StartTlsThenLoginAndList() {
    Script script = Script().Send("200 plain\r\n").Expect("STARTTLS").Send("382 go\r\n").StartTls();
    for (const Script::Step& step : LoginAndList().steps) {
        if (step.kind != Script::Step::Send || step.text != "200 ready\r\n")
            script.steps.push_back(step);
    }
    return script;
}

class TlsConnectionTest : public NntpTest {
  protected:
    void SetUp() override { ASSERT_TRUE(Certificates().Made()) << "openssl failed"; }
    static const TestCertificates& Certificates() { return TestCertificates::Get(); }

    void UseServer(const ScriptedServer& server, int encryption, unsigned timeoutMs = 5000) {
        Configure(kServer, server.Port(), timeoutMs);
        m_profile.WriteProfileInt(Section(kServer), "Encryption", encryption);
        m_profile.WriteProfileInt(Section(kServer), "Login Required", 1);
        m_profile.WriteProfileString(Section(kServer), "Login User", "joe");
        m_profile.WriteProfileString(Section(kServer), "Login Password", "secret");
    }
    void Pin(const std::string& fingerprint) {
        m_profile.WriteProfileString(Section(kServer), "Certificate Fingerprint", fingerprint);
    }
    std::string Pinned() {
        return m_profile.GetProfileString(Section(kServer), "Certificate Fingerprint");
    }
    // Connects in the blocking mode and reads the group list.
    void ConnectAndList() {
        CNewsConnection connection(kServer, m_profile);
        connection.Connect();
        connection.SendLine("LIST");
        connection.ExpectCode(215);
        EXPECT_EQ(connection.ReadLine(), "alt.one 2 1 y");
        EXPECT_EQ(connection.ReadLine(), ".");
        connection.Close();
    }
    // Starts the run's connection; the owner logs in as the run does.
    std::unique_ptr<CNewsConnection> StartLoggingIn() {
        auto connection = std::make_unique<CNewsConnection>(kServer, m_profile, &m_owner);
        m_owner.onLine = [&, raw = connection.get()](std::string_view line) {
            const int code = CNewsConnection::ParseCode(line);
            if (code == 200 && m_owner.lines.size() == 1)
                raw->SendLine("AUTHINFO USER joe");
            else if (code == 381)
                raw->SendLine("AUTHINFO PASS secret");
            else if (code == 281)
                raw->SendLine("MODE READER");
            else if (code == 200)
                raw->SendLine("LIST");
            return true;
        };
        connection->Start();
        return connection;
    }
    bool WaitForLines(std::size_t count, int ms = 5000) {
        return PumpUntil([&] { return m_owner.lines.size() >= count || !m_owner.errors.empty(); },
                         ms);
    }
    bool WaitForError(int ms = 5000) {
        return PumpUntil([&] { return !m_owner.errors.empty(); }, ms);
    }

    CertificateReports m_reports;
    RecordingOwner m_owner;
};

// ---------------------------------------------------------------------------------------
// Certificates

TEST_F(TlsConnectionTest, CertificateOfATrustedAuthorityLogsInOverTlsInBothModes) {
    TrustTestAuthority trust;
    ScriptedServer server({LoginAndList(), LoginAndList()}, Certificates().Identity("good"));
    UseServer(server, 1);
    ConnectAndList();
    auto connection = StartLoggingIn();
    ASSERT_TRUE(WaitForLines(7));
    EXPECT_THAT(m_owner.lines, ElementsAre("200 ready", "381 more", "281 ok", "200 reader",
                                           "215 list", "alt.one 2 1 y", "."));
    EXPECT_THAT(m_owner.errors, IsEmpty());
    connection->Close();
    ASSERT_TRUE(server.WaitDone(5000));
    EXPECT_THAT(server.Mismatches(), IsEmpty());
    EXPECT_THAT(m_reports.messages, IsEmpty());
    EXPECT_THAT(m_reports.questions, IsEmpty());
    EXPECT_EQ(Pinned(), "");
}

// Each certificate that fails verification ends the connection before anything is sent, with
// the server, the reason and the fingerprint in the message and the record value that would
// trust it.
TEST_F(TlsConnectionTest, EveryUnverifiableCertificateIsRefusedBeforeAnythingIsSent) {
    struct Case {
        const char* certificate;
        bool trustAuthority;
        const char* reason;
    };
    const Case cases[] = {
        {"expired", true, "expired"},
        {"other", true, "another host name"},
        {"self", true, "self-signed"},
        {"good", false, "not a trusted certificate authority"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.certificate);
        std::unique_ptr<TrustTestAuthority> trust;
        if (c.trustAuthority)
            trust = std::make_unique<TrustTestAuthority>();
        ScriptedServer server({LoginAndList(), LoginAndList()},
                              Certificates().Identity(c.certificate));
        UseServer(server, 1);
        m_reports.messages.clear();
        m_owner.errors.clear();
        m_owner.lines.clear();

        EXPECT_THROW(ConnectAndList(), CConnectionException);
        auto connection = StartLoggingIn();
        ASSERT_TRUE(WaitForError());
        EXPECT_THAT(m_owner.errors, ElementsAre(Pair(kSocket, 10053)));
        EXPECT_THAT(m_owner.lines, IsEmpty());
        connection.reset();

        ASSERT_TRUE(server.WaitDone(5000));
        EXPECT_THAT(server.Received(), ElementsAre(IsEmpty(), IsEmpty()));
        const std::string digits = Digits(Certificates().Fingerprint(c.certificate));
        ASSERT_THAT(m_reports.messages, SizeIs(2));
        for (const std::string& message : m_reports.messages)
            EXPECT_THAT(message, AllOf(HasSubstr(kServer), HasSubstr(c.reason), HasSubstr(digits),
                                       HasSubstr("\"Certificate Fingerprint\"")));
        EXPECT_EQ(Pinned(), "");
    }
}

// A fingerprint is stored as the user types it: colons and letter case do not matter.
TEST_F(TlsConnectionTest, PinnedFingerprintIsAcceptedWhateverItsChain) {
    std::string typed = Certificates().Fingerprint("self");
    std::transform(typed.begin(), typed.end(), typed.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    ScriptedServer server({LoginAndList(), LoginAndList()}, Certificates().Identity("self"));
    UseServer(server, 1);
    Pin(typed);
    ConnectAndList();
    auto connection = StartLoggingIn();
    ASSERT_TRUE(WaitForLines(7));
    EXPECT_THAT(m_owner.errors, IsEmpty());
    connection->Close();
    ASSERT_TRUE(server.WaitDone(5000));
    EXPECT_THAT(server.Mismatches(), IsEmpty());
    EXPECT_THAT(m_reports.messages, IsEmpty());
}

// The server now shows another certificate than the one trusted: refused and reported, the
// user is not asked, and the stored fingerprint stays.
TEST_F(TlsConnectionTest, ChangedCertificateIsRefusedWithoutAskingAndThePinKept) {
    const std::string trusted = Certificates().Fingerprint("good");
    ScriptedServer server({LoginAndList(), LoginAndList()}, Certificates().Identity("self"));
    UseServer(server, 1);
    Pin(trusted);
    m_reports.Answer(true);
    EXPECT_THROW(ConnectAndList(), CConnectionException);
    auto connection = StartLoggingIn();
    ASSERT_TRUE(WaitForError());
    EXPECT_THAT(m_owner.lines, IsEmpty());
    connection.reset();
    ASSERT_TRUE(server.WaitDone(5000));
    EXPECT_THAT(server.Received(), ElementsAre(IsEmpty(), IsEmpty()));
    EXPECT_THAT(m_reports.questions, IsEmpty());
    EXPECT_EQ(Pinned(), trusted);
    ASSERT_THAT(m_reports.messages, SizeIs(2));
    EXPECT_THAT(m_reports.messages[0],
                AllOf(HasSubstr("not the one trusted"), HasSubstr(Digits(trusted)),
                      HasSubstr(Digits(Certificates().Fingerprint("self")))));
}

// In the window the user is asked; trusting stores the fingerprint, and the next connection
// goes ahead without a question. Refusing stores nothing.
TEST_F(TlsConnectionTest, TrustedOnQuestionTheCertificateIsAskedAboutOnce) {
    ScriptedServer server({LoginAndList(), LoginAndList(), LoginAndList()},
                          Certificates().Identity("self"));
    UseServer(server, 1);
    m_reports.Answer(false);
    EXPECT_THROW(ConnectAndList(), CConnectionException);
    EXPECT_EQ(Pinned(), "");

    m_reports.Answer(true);
    auto connection = StartLoggingIn();
    ASSERT_TRUE(WaitForLines(7));
    EXPECT_THAT(m_owner.errors, IsEmpty());
    connection->Close();
    const std::string digits = Digits(Certificates().Fingerprint("self"));
    EXPECT_EQ(Pinned(), digits);

    ConnectAndList();
    ASSERT_TRUE(server.WaitDone(5000));
    EXPECT_THAT(server.Mismatches(), IsEmpty());
    EXPECT_THAT(m_reports.questions,
                ElementsAre(kServer + "|" + "it is self-signed and not trusted|" + digits,
                            kServer + "|" + "it is self-signed and not trusted|" + digits));
}

// "Verify Certificate" 0: any certificate will do, but the connection is still encrypted.
TEST_F(TlsConnectionTest, WithoutVerificationAnyCertificateIsAccepted) {
    ScriptedServer server({LoginAndList()}, Certificates().Identity("other"));
    UseServer(server, 1);
    m_profile.WriteProfileInt(Section(kServer), "Verify Certificate", 0);
    ConnectAndList();
    ASSERT_TRUE(server.WaitDone(5000));
    EXPECT_THAT(server.Mismatches(), IsEmpty());
}

// ---------------------------------------------------------------------------------------
// STARTTLS

TEST_F(TlsConnectionTest, StartTlsSecuresTheConnectionBeforeTheLoginInBothModes) {
    TrustTestAuthority trust;
    ScriptedServer server({StartTlsThenLoginAndList(), StartTlsThenLoginAndList()},
                          Certificates().Identity("good", false));
    UseServer(server, 2);
    ConnectAndList();
    auto connection = StartLoggingIn();
    ASSERT_TRUE(WaitForLines(7));
    // The owner's first line is the greeting held back until the connection was secured.
    EXPECT_THAT(m_owner.lines, ElementsAre("200 plain", "381 more", "281 ok", "200 reader",
                                           "215 list", "alt.one 2 1 y", "."));
    EXPECT_THAT(m_owner.errors, IsEmpty());
    connection->Close();
    ASSERT_TRUE(server.WaitDone(5000));
    EXPECT_THAT(server.Mismatches(), IsEmpty());
}

// A server that refuses STARTTLS gets nothing else, the login least of all: no fall-back to
// clear text.
TEST_F(TlsConnectionTest, RefusedStartTlsEndsTheConnectionWithNothingSentInClear) {
    const Script refusing = Script().Send("200 plain\r\n").Expect("STARTTLS").Send("580 no\r\n");
    ScriptedServer server({refusing, refusing}, Certificates().Identity("good", false));
    UseServer(server, 2);
    EXPECT_THROW(ConnectAndList(), CConnectionException);
    auto connection = StartLoggingIn();
    ASSERT_TRUE(WaitForError());
    EXPECT_THAT(m_owner.errors, ElementsAre(Pair(kSocket, 10053)));
    EXPECT_THAT(m_owner.lines, IsEmpty());
    connection.reset();
    ASSERT_TRUE(server.WaitDone(5000));
    EXPECT_THAT(server.Received(), ElementsAre(ElementsAre("STARTTLS"), ElementsAre("STARTTLS")));
    ASSERT_THAT(m_reports.messages, SizeIs(2));
    EXPECT_THAT(m_reports.messages[1], AllOf(HasSubstr(kServer), HasSubstr("580 no")));
}

// Clear text after the 382 could be a command slipped in by someone on the path.
TEST_F(TlsConnectionTest, BytesInClearAfterTheConsentToStartTlsEndTheConnection) {
    const Script injecting =
        Script().Send("200 plain\r\n").Expect("STARTTLS").Send("382 go\r\n281 fake\r\n");
    ScriptedServer server({injecting}, Certificates().Identity("good", false));
    UseServer(server, 2);
    EXPECT_THROW(ConnectAndList(), CConnectionException);
    ASSERT_TRUE(server.WaitDone(5000));
    EXPECT_THAT(server.Received(), ElementsAre(ElementsAre("STARTTLS")));
}

// ---------------------------------------------------------------------------------------
// Time limits

TEST_F(TlsConnectionTest, StalledHandshakeEndsAtTheServersTimeout) {
    // A plain server that never answers the client's hello.
    ScriptedServer server({Script().Pause(3000), Script().Pause(3000)});
    UseServer(server, 1, 400);
    QElapsedTimer clock;
    clock.start();
    try {
        ConnectAndList();
        ADD_FAILURE() << "connected";
    } catch (const CConnectionException& e) {
        EXPECT_EQ(e.m_nError, 10060);
    }
    EXPECT_LT(clock.elapsed(), 2000);

    clock.restart();
    auto connection = StartLoggingIn();
    ASSERT_TRUE(WaitForError(3000));
    EXPECT_THAT(m_owner.errors, ElementsAre(Pair(kTimer, 10060)));
    EXPECT_GE(clock.elapsed(), 350);
    EXPECT_LT(clock.elapsed(), 2000);
    ASSERT_THAT(m_reports.messages, SizeIs(2));
    EXPECT_THAT(m_reports.messages[1], HasSubstr("in time"));
}

// The group-list download's Cancel acts during a stalled handshake too.
TEST_F(TlsConnectionTest, StopCheckEndsAStalledHandshake) {
    ScriptedServer server({Script().Pause(3000)});
    UseServer(server, 1, 10000);
    CNewsConnection connection(kServer, m_profile);
    QElapsedTimer clock;
    clock.start();
    connection.SetStopCheck([&] { return clock.elapsed() > 300; });
    EXPECT_THROW(connection.Connect(), CUserCancelException);
    EXPECT_LT(clock.elapsed(), 1500);
}

// The owner's rights hold over TLS: it may delete the connection from inside a line, and the
// user may stop the run (which closes the connection) while the question is open.
TEST_F(TlsConnectionTest, OwnerMayDeleteOrCloseTheConnectionOverTls) {
    ScriptedServer server({LoginAndList(), LoginAndList()}, Certificates().Identity("self"));
    UseServer(server, 1);
    Pin(Certificates().Fingerprint("self"));
    auto connection = std::make_unique<CNewsConnection>(kServer, m_profile, &m_owner);
    m_owner.onLine = [&](std::string_view) {
        connection.reset();
        return false;
    };
    connection->Start();
    ASSERT_TRUE(PumpUntil([&] { return connection == nullptr; }, 5000));
    PumpFor(50);
    EXPECT_THAT(m_owner.lines, ElementsAre("200 ready"));

    Pin("");
    m_owner.lines.clear();
    m_owner.onLine = nullptr;
    connection = std::make_unique<CNewsConnection>(kServer, m_profile, &m_owner);
    CCertificatePrompt::Install([&](const CertificateDetails&) {
        connection->Close();
        return true;
    });
    connection->Start();
    ASSERT_TRUE(PumpUntil([&] { return Pinned() != ""; }, 5000));
    PumpFor(100);
    EXPECT_THAT(m_owner.lines, IsEmpty());
    EXPECT_THAT(m_owner.errors, IsEmpty());
}

} // namespace

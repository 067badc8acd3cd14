#include <QElapsedTimer>
#include <QTcpServer>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <memory>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "NntpTestSupport.h"
#include "nntp/CNewsConnection.h"
#include "platform/ConnectionErrors.h"
#include "support/ScriptedServer.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Pair;

namespace {

constexpr int kTimer = CSocketOwnerWnd::kTimerNotification;

// A listening socket whose one-slot backlog is taken by a client nobody accepts, so
// that the next connect to it hangs unanswered.
class FullBacklog {
  public:
    FullBacklog() {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        bind(m_listener, reinterpret_cast<sockaddr*>(&address), length);
        listen(m_listener, 0);
        getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        ::connect(m_filler, reinterpret_cast<sockaddr*>(&address), length);
    }
    ~FullBacklog() {
        close(m_filler);
        close(m_listener);
    }
    quint16 Port() const { return m_port; }

  private:
    int m_listener = socket(AF_INET, SOCK_STREAM, 0);
    int m_filler = socket(AF_INET, SOCK_STREAM, 0);
    quint16 m_port = 0;
};

class AsyncConnectionTest : public NntpTest {
  protected:
    // Starts a connection to the scripted server at 127.0.0.1.
    std::unique_ptr<CNewsConnection> StartTo(const ScriptedServer& server, unsigned timeoutMs) {
        Configure("127.0.0.1", server.Port(), timeoutMs);
        auto connection = std::make_unique<CNewsConnection>("127.0.0.1", m_profile, &m_owner);
        connection->Start();
        return connection;
    }
    bool WaitForLines(std::size_t count, int ms = 5000) {
        return PumpUntil([&] { return m_owner.lines.size() >= count || !m_owner.errors.empty(); },
                         ms);
    }

    RecordingOwner m_owner;
};

TEST_F(AsyncConnectionTest, LinesAreDeliveredWholeInOrderAndSplitOnlyAtCrLf) {
    std::string longLine(5000, 'x');
    longLine[2500] = 'y';
    // The greeting is split between its CR and LF; three lines share one segment; the
    // 5000-byte line arrives in three pieces.
    ScriptedServer server({Script()
                               .Send("200 news ready\r")
                               .Pause(80)
                               .Send("\nthree\r\nlines\r\nin one\r\n")
                               .Send(std::string("nul\0byte\r\n", 10))
                               .Send("lone\nLF and lone\rCR\r\n")
                               .Send(longLine.substr(0, 1500))
                               .Pause(30)
                               .Send(longLine.substr(1500, 2000))
                               .Pause(30)
                               .Send(longLine.substr(3500) + "\r\n..stuffed\r\n.\r\n")});
    auto connection = StartTo(server, 5000);

    ASSERT_TRUE(WaitForLines(9));
    PumpFor(50);
    EXPECT_THAT(m_owner.lines, ElementsAre("200 news ready", "three", "lines", "in one", "nul byte",
                                           "lone\nLF and lone\rCR", longLine, "..stuffed", "."));
    EXPECT_THAT(m_owner.errors, IsEmpty());
}

// The owner hears of the wait for the server only once every complete line has reached it.
TEST_F(AsyncConnectionTest, OwnerHearsOfTheWaitOnceEveryLineIsHandedOver) {
    ScriptedServer server({Script()
                               .Send("200 a\r\nb\r\n")
                               .Pause(80)
                               .Send("c\r\nd")
                               .Pause(80)
                               .Send("\r\n")
                               .Pause(200)});
    auto connection = StartTo(server, 5000);
    ASSERT_TRUE(WaitForLines(4));
    PumpFor(50);
    ASSERT_THAT(m_owner.linesAtIdle, ::testing::Not(IsEmpty()));
    EXPECT_EQ(m_owner.linesAtIdle.back(), 4u);
    EXPECT_TRUE(std::is_sorted(m_owner.linesAtIdle.begin(), m_owner.linesAtIdle.end()));
    for (std::size_t seen : m_owner.linesAtIdle)
        EXPECT_TRUE(seen == 2 || seen == 3 || seen == 4) << seen;
}

TEST_F(AsyncConnectionTest, CommandsGoOutWithCrLfAndCloseSendsQuit) {
    ScriptedServer server({Script().Send("200 ready\r\n").Expect("MODE READER")});
    auto connection = StartTo(server, 5000);
    m_owner.onLine = [&](std::string_view) {
        connection->SendLine("MODE READER");
        return true;
    };
    ASSERT_TRUE(WaitForLines(1));
    connection->Close();
    ASSERT_TRUE(server.WaitDone(5000));
    EXPECT_THAT(server.Received(), ElementsAre(ElementsAre("MODE READER", "QUIT")));
    EXPECT_THAT(server.Mismatches(), IsEmpty());
    EXPECT_THROW(connection->SendLine("LIST"), CConnectionException);
}

TEST_F(AsyncConnectionTest, OwnerThatWantsNoMoreLinesGetsNoMore) {
    ScriptedServer server({Script().Send("200 a\r\nb\r\nc\r\n")});
    auto connection = StartTo(server, 5000);
    m_owner.onLine = [](std::string_view) { return false; };
    ASSERT_TRUE(WaitForLines(1));
    PumpFor(100);
    EXPECT_THAT(m_owner.lines, ElementsAre("200 a"));
}

// The owner may end the connection while it handles a line; the rest of the buffered
// lines must then go nowhere, and nothing may touch the dead object.
TEST_F(AsyncConnectionTest, OwnerMayDeleteCloseOrReplaceTheConnectionInsideALine) {
    ScriptedServer server({Script().Send("200 first\r\nsecond\r\nthird\r\n"),
                           Script().Send("200 closed\r\nnever\r\n"),
                           Script().Send("200 replaced\r\nstale\r\n"),
                           Script().Send("201 new\r\n")});
    auto connection = StartTo(server, 5000);
    m_owner.onLine = [&](std::string_view) {
        connection.reset();
        return true;
    };
    ASSERT_TRUE(WaitForLines(1));
    PumpFor(100);
    EXPECT_THAT(m_owner.lines, ElementsAre("200 first"));

    connection = StartTo(server, 5000);
    m_owner.onLine = [&](std::string_view) {
        connection->Close();
        return true;
    };
    ASSERT_TRUE(WaitForLines(2));
    PumpFor(100);
    EXPECT_THAT(m_owner.lines, ElementsAre("200 first", "200 closed"));

    connection->Start();
    m_owner.onLine = [&](std::string_view line) {
        if (line == "200 replaced") {
            connection = std::make_unique<CNewsConnection>("127.0.0.1", m_profile, &m_owner);
            connection->Start();
        }
        return true;
    };
    ASSERT_TRUE(WaitForLines(4));
    PumpFor(100);
    EXPECT_THAT(m_owner.lines, ElementsAre("200 first", "200 closed", "200 replaced", "201 new"));
    EXPECT_THAT(m_owner.errors, IsEmpty());
    connection.reset();
    ASSERT_TRUE(server.WaitDone(5000));
    EXPECT_THAT(server.Received()[1], ElementsAre("QUIT"));
}

TEST_F(AsyncConnectionTest, NoGreetingWithinTheTimeoutIsReportedAsTimerError) {
    ScriptedServer server({Script()});
    QElapsedTimer clock;
    clock.start();
    auto connection = StartTo(server, 300);
    m_owner.onError = [&](int, int) { connection.reset(); };
    ASSERT_TRUE(PumpUntil([&] { return !m_owner.errors.empty(); }, 5000));
    EXPECT_GE(clock.elapsed(), 250);
    PumpFor(400);
    EXPECT_THAT(m_owner.errors, ElementsAre(Pair(kTimer, 10060)));
}

// A server that says nothing after the greeting, or sends a byte now and then without ever
// ending the line, is timed out: a line must end within the limit counted from its first byte.
TEST_F(AsyncConnectionTest, AStallingOrTricklingServerIsTimedOut) {
    Script trickle;
    trickle.Send("200 ready\r\n").Expect("GROUP alt.test").Send("2");
    for (int i = 0; i < 40; ++i)
        trickle.Pause(100).Send("1");
    const Script stall = Script().Send("200 ready\r\n").Expect("GROUP alt.test");
    for (const auto& [script, timeoutMs] : {std::pair{stall, 300u}, std::pair{trickle, 500u}}) {
        m_owner.lines.clear();
        m_owner.errors.clear();
        ScriptedServer server({script});
        auto connection = StartTo(server, timeoutMs);
        m_owner.onLine = [&](std::string_view) {
            connection->SendLine("GROUP alt.test");
            return true;
        };
        ASSERT_TRUE(WaitForLines(1));
        QElapsedTimer clock;
        clock.start();
        ASSERT_TRUE(PumpUntil([&] { return !m_owner.errors.empty(); }, 5000));
        EXPECT_GE(clock.elapsed(), timeoutMs - 50);
        EXPECT_LT(clock.elapsed(), timeoutMs + 1000);
        EXPECT_THAT(m_owner.errors, ElementsAre(Pair(kTimer, 10060)));
    }
}

// The limit is on silence, not on the length of a reply.
TEST_F(AsyncConnectionTest, SlowButSteadyReplyIsNotTimedOut) {
    Script script;
    script.Send("200 ready\r\n").Expect("LIST").Send("215 list\r\n");
    for (int i = 0; i < 6; ++i)
        script.Pause(200).Send("group." + std::to_string(i) + " 2 1 y\r\n");
    script.Send(".\r\n");
    ScriptedServer server({script});
    auto connection = StartTo(server, 700);
    m_owner.onLine = [&](std::string_view line) {
        if (line == "200 ready")
            connection->SendLine("LIST");
        return true;
    };
    ASSERT_TRUE(WaitForLines(9));
    EXPECT_EQ(m_owner.lines.back(), ".");
    EXPECT_THAT(m_owner.errors, IsEmpty());
}

TEST_F(AsyncConnectionTest, ServerClosingMidBodyDeliversWhatCameThenOneSocketError) {
    ScriptedServer server(
        {Script().Send("200 ready\r\n222 body\r\nline 1\r\nline 2\r\npart").Close()});
    auto connection = StartTo(server, 5000);
    ASSERT_TRUE(PumpUntil([&] { return !m_owner.errors.empty(); }, 5000));
    PumpFor(100);
    EXPECT_THAT(m_owner.lines, ElementsAre("200 ready", "222 body", "line 1", "line 2"));
    EXPECT_THAT(m_owner.errors, ElementsAre(Pair(CSocketOwnerWnd::kSocketNotification, 10054)));
}

// A line that never ends is refused once it outgrows the limit, not buffered without end.
TEST_F(AsyncConnectionTest, ALineThatNeverEndsIsReportedAsNoBuffers) {
    ScriptedServer server({Script()
                               .Send("200 ready\r\n")
                               .Send(std::string(CLineBuffer::kMaxLineLength + 1024 * 1024, 'x'))
                               .Pause(2000)});
    auto connection = StartTo(server, 5000);
    ASSERT_TRUE(PumpUntil([&] { return !m_owner.errors.empty(); }, 10000));
    EXPECT_THAT(m_owner.lines, ElementsAre("200 ready"));
    EXPECT_THAT(m_owner.errors, ElementsAre(Pair(CSocketOwnerWnd::kSocketNotification, 10055)));
}

TEST_F(AsyncConnectionTest, LookupAndConnectFailuresAreReportedAsHostFound) {
    Configure("nonexistent.invalid", 119, 5000);
    CNewsConnection unknown("nonexistent.invalid", m_profile, &m_owner);
    unknown.Start();
    ASSERT_TRUE(PumpUntil([&] { return !m_owner.errors.empty(); }, 5000));
    EXPECT_THAT(m_owner.errors, ElementsAre(Pair(CSocketOwnerWnd::kHostFound, 11001)));

    quint16 freePort;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        freePort = probe.serverPort();
    }
    m_owner.errors.clear();
    Configure("127.0.0.1", freePort, 5000);
    CNewsConnection refused("127.0.0.1", m_profile, &m_owner);
    refused.Start();
    ASSERT_TRUE(PumpUntil([&] { return !m_owner.errors.empty(); }, 5000));
    EXPECT_THAT(m_owner.errors, ElementsAre(Pair(CSocketOwnerWnd::kHostFound, 10061)));
}

TEST_F(AsyncConnectionTest, ServerNameIsLookedUpAndItsAddressesTried) {
    ScriptedServer server({Script().Send("200 by name\r\n")});
    Configure("localhost", server.Port(), 5000);
    CNewsConnection connection("localhost", m_profile, &m_owner);
    connection.Start();
    ASSERT_TRUE(WaitForLines(1));
    EXPECT_THAT(m_owner.lines, ElementsAre("200 by name"));
}

// Closing while the lookup runs cancels it: nothing reaches the owner later, not even
// the timer; starting again afterwards makes a fresh connection.
TEST_F(AsyncConnectionTest, CloseDuringLookupCancelsItAndStartWorksAgain) {
    ScriptedServer server({Script().Send("200 second try\r\n")});
    Configure("localhost", server.Port(), 200);
    Configure("127.0.0.1", server.Port(), 200);
    CNewsConnection byName("localhost", m_profile, &m_owner);
    CNewsConnection byAddress("127.0.0.1", m_profile, &m_owner);
    byName.Start();
    byAddress.Start();
    byName.Close();
    byAddress.Close();
    PumpFor(500);
    EXPECT_THAT(m_owner.errors, IsEmpty());
    EXPECT_THAT(m_owner.lines, IsEmpty());

    byAddress.Start();
    ASSERT_TRUE(WaitForLines(1));
    EXPECT_THAT(m_owner.lines, ElementsAre("200 second try"));
}

TEST_F(AsyncConnectionTest, UnansweredConnectIsTimedOutAndCloseDuringItReportsNothing) {
    FullBacklog backlog;
    Configure("127.0.0.1", backlog.Port(), 1000);
    CNewsConnection connection("127.0.0.1", m_profile, &m_owner);
    connection.Start();
    PumpFor(100);
    connection.Close();
    PumpFor(500);
    EXPECT_THAT(m_owner.errors, IsEmpty());

    Configure("127.0.0.1", backlog.Port(), 300);
    QElapsedTimer clock;
    clock.start();
    connection.Start();
    ASSERT_TRUE(PumpUntil([&] { return !m_owner.errors.empty(); }, 5000));
    EXPECT_GE(clock.elapsed(), 250);
    EXPECT_THAT(m_owner.errors, ElementsAre(Pair(CSocketOwnerWnd::kHostFound, 10060)));
}

// Lines are handed over in batches, but the event loop gets its turn at short intervals
// even when the owner is slow and a large reply is already buffered.
// An owner that keeps the event loop turning inside a line (a dialog, say) while the server
// sends on: what waits for it stays bounded, the rest waits in the kernel, and nothing is lost.
TEST_F(AsyncConnectionTest, LinesWaitingForASlowOwnerStayBounded) {
    constexpr int kLines = 200000; // 26 MB
    const std::string line(128, 'd');
    std::string body = "222 body\r\n";
    for (int i = 0; i < kLines; ++i)
        body += line + "\r\n";
    body += ".\r\n";
    ScriptedServer server({Script().Send("200 ready\r\n").Pause(50).Send(body)});
    auto connection = StartTo(server, 5000);
    std::size_t mostWaiting = 0;
    m_owner.onLine = [&](std::string_view text) {
        if (text == "222 body")
            PumpUntil(
                [&] {
                    mostWaiting = std::max(mostWaiting, connection->WaitingBytes());
                    return false;
                },
                400);
        return true;
    };
    ASSERT_TRUE(WaitForLines(kLines + 3, 20000));
    EXPECT_EQ(m_owner.lines[1], "222 body");
    EXPECT_EQ(m_owner.lines.back(), ".");
    EXPECT_EQ(std::count(m_owner.lines.begin(), m_owner.lines.end(), line), kLines);
    EXPECT_THAT(m_owner.errors, IsEmpty());
    EXPECT_GT(mostWaiting, 0u);
    EXPECT_LT(mostWaiting, 2u << 20);
}

TEST_F(AsyncConnectionTest, BufferedLinesDoNotHoldUpTheEventLoop) {
    constexpr int kLines = 300;
    std::string body = "222 body\r\n";
    for (int i = 0; i < kLines; ++i)
        body += "line " + std::to_string(i) + "\r\n";
    ScriptedServer server({Script().Send(body)});
    auto connection = StartTo(server, 5000);
    m_owner.onLine = [](std::string_view) {
        QThread::msleep(1);
        return true;
    };
    // The longest time the loop went without serving a 1 ms timer, up to the last line.
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, sinceTick.elapsed());
        sinceTick.start();
    });
    sinceTick.start();
    tick.start(1);
    ASSERT_TRUE(WaitForLines(kLines + 1));
    longestGap = std::max(longestGap, sinceTick.elapsed());
    EXPECT_EQ(m_owner.lines.back(), "line " + std::to_string(kLines - 1));
    EXPECT_EQ(m_owner.lines[57], "line 56");
    EXPECT_LT(longestGap, 150);
}

} // namespace

#include <QElapsedTimer>
#include <QTcpSocket>

#include <cstdio>

#include <memory>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include "NntpTestSupport.h"
#include "nntp/CNewsConnection.h"
#include "support/ScriptedServer.h"

namespace {

constexpr int kReplies = 100;

// A server that answers each HEAD as a stock news server does: the status line and the
// header block in two writes, with Nagle's algorithm on. A client that waits for the
// whole reply before its next command then pays for every delayed ACK of its own stack.
Script HeadServer() {
    Script script;
    script.Send("200 ready\r\n");
    for (int i = 1; i <= kReplies; ++i) {
        std::string n = std::to_string(i);
        script.Expect("HEAD " + n)
            .Send("221 " + n + " <" + n + "@example> head\r\n")
            .Send("From: a@example\r\nSubject: part " + n + "\r\nLines: 10\r\n.\r\n");
    }
    return script;
}

// The run's pattern: the next HEAD goes out only once the "." of the previous reply is in.
class HeadWalker : public RecordingOwner {
  public:
    std::function<void(const std::string&)> send;
    int next = 1;
    bool done = false;

    bool OnResponseLine(std::string_view line) override {
        if (line != "." && line.rfind("200 ", 0) != 0)
            return true;
        if (next > kReplies) {
            done = true;
            return true;
        }
        send("HEAD " + std::to_string(next++));
        return true;
    }
};

class DelayedAckTest : public NntpTest {
  protected:
    // Milliseconds for kReplies HEAD exchanges over CNewsConnection.
    qint64 TimeConnection() {
        ScriptedServer server({HeadServer()}, ScriptedServer::Nagle::On);
        Configure("127.0.0.1", server.Port(), 30000);
        HeadWalker walker;
        CNewsConnection connection("127.0.0.1", m_profile, &walker);
        walker.send = [&](const std::string& command) { connection.SendLine(command); };
        QElapsedTimer clock;
        clock.start();
        connection.Start();
        EXPECT_TRUE(PumpUntil([&] { return walker.done; }, 60000));
        return clock.elapsed();
    }

    // The same exchange over a plain socket: the stack's defaults, or with TCP_NODELAY, or
    // with TCP_QUICKACK set once after the connect.
    enum class Tuning { None, NoDelay, QuickAckOnce };
    qint64 TimePlainSocket(Tuning tuning) {
        ScriptedServer server({HeadServer()}, ScriptedServer::Nagle::On);
        QTcpSocket socket;
        HeadWalker walker;
        walker.send = [&](const std::string& command) {
            socket.write((command + "\r\n").c_str());
            socket.flush();
        };
        std::string pending;
        QObject::connect(&socket, &QTcpSocket::readyRead, [&] {
            pending += socket.readAll().toStdString();
            for (std::size_t end; (end = pending.find("\r\n")) != std::string::npos;) {
                std::string line = pending.substr(0, end);
                pending.erase(0, end + 2);
                walker.OnResponseLine(line);
            }
        });
        QObject::connect(&socket, &QTcpSocket::connected, [&] {
            if (tuning == Tuning::NoDelay)
                socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
            int on = 1;
            if (tuning == Tuning::QuickAckOnce)
                setsockopt(static_cast<int>(socket.socketDescriptor()), IPPROTO_TCP, TCP_QUICKACK,
                           &on, sizeof on);
        });
        QElapsedTimer clock;
        clock.start();
        socket.connectToHost(QHostAddress::LocalHost, server.Port());
        EXPECT_TRUE(PumpUntil([&] { return walker.done; }, 60000));
        return clock.elapsed();
    }
};

// A stalled exchange costs about 40 ms per reply; without the stall a loopback reply
// takes well under one.
TEST_F(DelayedAckTest, SplitRepliesDoNotWaitForDelayedAcks) {
    EXPECT_LT(TimeConnection(), kReplies * 25);
}

// Not part of the suite: prints both timings for comparison.
TEST_F(DelayedAckTest, DISABLED_CompareWithPlainSocket) {
    for (int round = 0; round < 3; ++round) {
        long long plain = TimePlainSocket(Tuning::None);
        long long noDelay = TimePlainSocket(Tuning::NoDelay);
        long long quickAckOnce = TimePlainSocket(Tuning::QuickAckOnce);
        long long tuned = TimeConnection();
        std::printf("%d HEAD replies: plain %lld ms, TCP_NODELAY %lld ms, TCP_QUICKACK once "
                    "%lld ms, CNewsConnection %lld ms\n",
                    kReplies, plain, noDelay, quickAckOnce, tuned);
    }
}

} // namespace

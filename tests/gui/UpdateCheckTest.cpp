#include "app/gui/CUpdateCheck.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "GuiTestSupport.h"
#include "platform/CStringTable.h"
#include "platform/StringIds.h"
#include "support/ProfileHome.h"

namespace {

// A web server on 127.0.0.1 that answers every request with one canned reply and closes, or,
// when silent, accepts the connection and never says a word.
class VersionServer {
  public:
    explicit VersionServer(QByteArray reply, bool silent = false)
        : m_reply(std::move(reply)), m_bSilent(silent) {
        m_server.listen(QHostAddress::LocalHost);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] { Accept(); });
    }

    static QByteArray Ok(const QByteArray& body) { return Reply("200 OK", body); }
    static QByteArray Reply(const char* status, const QByteArray& body) {
        return QByteArray("HTTP/1.1 ") + status +
               "\r\nContent-Type: text/plain\r\nConnection: close\r\nContent-Length: " +
               QByteArray::number(body.size()) + "\r\n\r\n" + body;
    }

    QString Url() const {
        return QStringLiteral("http://127.0.0.1:%1/Gleanwick/Version.txt")
            .arg(m_server.serverPort());
    }
    int Connections() const { return m_nConnections; }
    const QByteArray& Request() const { return m_request; }

  private:
    void Accept() {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            ++m_nConnections;
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                m_request += socket->readAll();
                if (m_bSilent || !m_request.contains("\r\n\r\n"))
                    return;
                socket->write(m_reply);
                socket->disconnectFromHost();
            });
        }
    }

    QTcpServer m_server;
    QByteArray m_reply;
    bool m_bSilent;
    int m_nConnections = 0;
    QByteArray m_request;
};

class UpdateCheckTest : public testing::Test {
  protected:
    void SetUp() override {
        TestApplication<QApplication>();
        home.profile.WriteProfileInt("Settings", "m_bCheckVer", 1);
    }

    // Runs the check against `url`, answering the question with `answer`.
    void Check(const QString& url, bool answer = false) {
        const ScopedEnv env(CUpdateCheck::kUrlVariable, url.toUtf8().constData());
        const CUpdateCheck check(
            [this, answer](const QString& question) {
                questions.push_back(question);
                return answer;
            },
            [this](const QUrl& address) { opened.push_back(address); });
        check.Run(home.profile);
    }

    // Runs the check against a server that serves `body` and tells whether it asked.
    bool Asks(const QByteArray& body) {
        VersionServer server(VersionServer::Ok(body));
        questions.clear();
        Check(server.Url());
        EXPECT_EQ(server.Connections(), 1);
        return !questions.empty();
    }

    ProfileHome home;
    std::vector<QString> questions;
    std::vector<QUrl> opened;
};

TEST_F(UpdateCheckTest, OnlyANumberAboveOwnVersionAsks) {
    EXPECT_FALSE(Asks("2.0"));
    EXPECT_FALSE(Asks("1.9"));
    EXPECT_FALSE(Asks("2.00000"));
    EXPECT_TRUE(Asks("2.01"));
    EXPECT_TRUE(Asks("3.0"));
    EXPECT_TRUE(Asks("  +2.5 is out now"));
    EXPECT_TRUE(Asks("3e0"));
}

TEST_F(UpdateCheckTest, ShortBodiesAndNonNumbersAreNoAnswer) {
    EXPECT_FALSE(Asks("3\n")); // two bytes
    EXPECT_FALSE(Asks("9"));
    EXPECT_FALSE(Asks(""));
    EXPECT_TRUE(Asks("2.5\n"));
    EXPECT_TRUE(Asks("10\n"));
    EXPECT_FALSE(Asks("Version 3.0"));
    EXPECT_FALSE(Asks("<html>404</html>"));
    // Forms a C library reads as large numbers but that are no version number.
    EXPECT_FALSE(Asks("0x30"));
    EXPECT_FALSE(Asks("inf"));
    EXPECT_FALSE(Asks("nan(3)"));
    EXPECT_FALSE(Asks("-3.0"));
}

// The number is read from the first 100 bytes only, whatever follows.
TEST_F(UpdateCheckTest, OnlyTheFirstHundredBytesCount) {
    EXPECT_FALSE(Asks(QByteArray(100, '0') + "3"));
    EXPECT_TRUE(Asks("1" + QByteArray(99, '0') + "e-99"));
    EXPECT_TRUE(Asks("2.5\n" + QByteArray(4 << 20, 'x')));
}

TEST_F(UpdateCheckTest, YesOpensTheDownloadAddressNoDoesNot) {
    VersionServer server(VersionServer::Ok("2.1\r\n"));
    Check(server.Url(), false);
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_TRUE(opened.empty());

    Check(server.Url(), true);
    const QUrl download(QStringLiteral("http://127.0.0.1:%1/Software/Gleanwick.exe")
                            .arg(QUrl(server.Url()).port()));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], download);
    // The question names the address that Yes opens.
    EXPECT_EQ(questions[1].toStdString(),
              CStringTable::Format(ids::kNewerVersion, download.toString().toStdString()));
}

TEST_F(UpdateCheckTest, AsksForTheVersionFileByGet) {
    VersionServer server(VersionServer::Ok("1.0"));
    Check(server.Url());
    EXPECT_TRUE(server.Request().startsWith("GET /Gleanwick/Version.txt HTTP/1.1\r\n"))
        << server.Request().toStdString();
    EXPECT_TRUE(server.Request().contains("\r\nUser-Agent: My Session\r\n"));
}

TEST_F(UpdateCheckTest, FailuresAreSilent) {
    VersionServer missing(VersionServer::Reply("404 Not Found", "3.0 is not here"));
    Check(missing.Url());
    EXPECT_EQ(missing.Connections(), 1);
    VersionServer broken(VersionServer::Reply("500 Internal Server Error", "3.0"));
    Check(broken.Url());
    // A reply cut short of its length.
    VersionServer cut(QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 50\r\n\r\n3.0"));
    Check(cut.Url());
    Check(QStringLiteral("not a url at all"));
    Check(QStringLiteral("ftp://127.0.0.1:1/Gleanwick/Version.txt"));
    EXPECT_TRUE(questions.empty());
    EXPECT_TRUE(opened.empty());
}

TEST_F(UpdateCheckTest, NoServerListening) {
    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost);
    const quint16 port = closed.serverPort();
    closed.close();
    QElapsedTimer clock;
    clock.start();
    Check(QStringLiteral("http://127.0.0.1:%1/Gleanwick/Version.txt").arg(port));
    EXPECT_LT(clock.elapsed(), CUpdateCheck::kTimeLimitMs);
    EXPECT_TRUE(questions.empty());
}

// A server that takes the connection and never answers holds start-up up to the time limit.
TEST_F(UpdateCheckTest, ASilentServerEndsAtTheTimeLimit) {
    VersionServer server(QByteArray(), true);
    QElapsedTimer clock;
    clock.start();
    Check(server.Url());
    EXPECT_GE(clock.elapsed(), CUpdateCheck::kTimeLimitMs - 20);
    EXPECT_LT(clock.elapsed(), CUpdateCheck::kTimeLimitMs + 1000);
    EXPECT_EQ(server.Connections(), 1);
    EXPECT_TRUE(questions.empty());
}

TEST_F(UpdateCheckTest, SwitchedOffAsksNoServer) {
    VersionServer server(VersionServer::Ok("3.0"));
    home.profile.WriteProfileInt("Settings", "m_bCheckVer", 0);
    Check(server.Url());
    ProfileHome fresh; // a first start: no value at all
    const ScopedEnv env(CUpdateCheck::kUrlVariable, server.Url().toUtf8().constData());
    CUpdateCheck([](const QString&) { return true; }, [](const QUrl&) {}).Run(fresh.profile);
    QCoreApplication::processEvents();
    EXPECT_EQ(server.Connections(), 0);
    EXPECT_TRUE(questions.empty());
}

} // namespace

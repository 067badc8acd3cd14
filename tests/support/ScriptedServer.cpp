#include "support/ScriptedServer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <memory>
#include <optional>

namespace {

constexpr int kSlice = 20;          // ms between looks at the stop flag
constexpr int kStepLimit = 10000;   // ms any one step may wait for the client
constexpr int kAcceptLimit = 15000; // ms to wait for the next connection
// The ports tried for Ports::FourDigits: above the ones that need privileges, below 10000.
constexpr int kFourDigitFirst = 2000;
constexpr int kFourDigitCount = 10000 - kFourDigitFirst;

// Reads one CR LF line from a blocking socket; nothing when the client closed or the
// time ran out.
class LineReader {
  public:
    explicit LineReader(QTcpSocket& socket) : m_socket(socket) {}

    std::optional<std::string> Next(const std::atomic<bool>& stop, int limitMs) {
        QDeadlineTimer deadline(limitMs);
        for (;;) {
            std::size_t end = m_pending.find("\r\n");
            if (end != std::string::npos) {
                std::string line = m_pending.substr(0, end);
                m_pending.erase(0, end + 2);
                return line;
            }
            if (stop || deadline.hasExpired())
                return std::nullopt;
            if (m_socket.bytesAvailable() == 0 && !m_socket.waitForReadyRead(kSlice) &&
                m_socket.state() != QAbstractSocket::ConnectedState)
                return std::nullopt;
            QByteArray bytes = m_socket.readAll();
            m_pending.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        }
    }

  private:
    QTcpSocket& m_socket;
    std::string m_pending;
};

// Hands out every accepted connection as a QSslSocket in clear text, so that a script can
// begin TLS at once or later.
class TlsCapableServer : public QTcpServer {
  public:
    explicit TlsCapableServer(std::optional<QSslConfiguration> tls) : m_tls(std::move(tls)) {}

  protected:
    void incomingConnection(qintptr descriptor) override {
        if (!m_tls) {
            QTcpServer::incomingConnection(descriptor);
            return;
        }
        auto* socket = new QSslSocket(this);
        socket->setSslConfiguration(*m_tls);
        socket->setSocketDescriptor(descriptor);
        addPendingConnection(socket);
    }

  private:
    std::optional<QSslConfiguration> m_tls;
};

QByteArray ReadFile(const std::string& path) {
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::optional<QSslConfiguration>
ServerConfiguration(const std::optional<ScriptedServer::TlsIdentity>& identity) {
    if (!identity)
        return std::nullopt;
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setLocalCertificate(QSslCertificate(ReadFile(identity->certificateFile)));
    config.setPrivateKey(QSslKey(ReadFile(identity->keyFile), QSsl::Ec));
    config.setPeerVerifyMode(QSslSocket::VerifyNone);
    return config;
}

void SleepUnlessStopped(int ms, const std::atomic<bool>& stop) {
    QElapsedTimer clock;
    clock.start();
    while (!stop && clock.elapsed() < ms)
        QThread::msleep(static_cast<unsigned long>(std::min<qint64>(5, ms - clock.elapsed())));
}

} // namespace

Script& Script::Send(std::string bytes) {
    steps.push_back({Step::Send, std::move(bytes)});
    return *this;
}

Script& Script::Expect(std::string line) {
    steps.push_back({Step::Expect, std::move(line)});
    return *this;
}

Script& Script::Pause(int ms) {
    steps.push_back({Step::Pause, {}, ms});
    return *this;
}

Script& Script::Close() {
    steps.push_back({Step::Close, {}});
    return *this;
}

Script& Script::StartTls() {
    steps.push_back({Step::StartTls, {}});
    return *this;
}

ScriptedServer::ScriptedServer(std::vector<Script> scripts, Nagle nagle, Ports ports)
    : m_scripts(std::move(scripts)), m_nagle(nagle), m_ports(ports), m_received(m_scripts.size()) {
    Begin();
}

ScriptedServer::ScriptedServer(std::vector<Script> scripts, TlsIdentity tls)
    : m_scripts(std::move(scripts)), m_nagle(Nagle::Off), m_ports(Ports::Any),
      m_tls(std::move(tls)), m_received(m_scripts.size()) {
    Begin();
}

void ScriptedServer::Begin() {
    std::promise<quint16> port;
    std::future<quint16> ready = port.get_future();
    m_thread = std::thread([this, p = std::move(port)]() mutable { Run(std::move(p)); });
    m_port = ready.get();
}

ScriptedServer::~ScriptedServer() {
    m_stop = true;
    m_thread.join();
}

std::vector<std::vector<std::string>> ScriptedServer::Received() const {
    std::lock_guard lock(m_mutex);
    return m_received;
}

std::vector<std::string> ScriptedServer::Mismatches() const {
    std::lock_guard lock(m_mutex);
    return m_mismatches;
}

bool ScriptedServer::WaitDone(int ms) const {
    QElapsedTimer clock;
    clock.start();
    while (!m_done && clock.elapsed() < ms)
        QThread::msleep(5);
    return m_done;
}

void ScriptedServer::Listen(QTcpServer& server) const {
    if (m_ports == Ports::Any) {
        server.listen(QHostAddress::LocalHost, 0);
        return;
    }
    // Spread over the range so that test executables running side by side rarely collide.
    const auto offset = static_cast<int>(QCoreApplication::applicationPid() % kFourDigitCount);
    for (int i = 0; i < kFourDigitCount; ++i) {
        const auto port = static_cast<quint16>(kFourDigitFirst + (offset + i) % kFourDigitCount);
        if (server.listen(QHostAddress::LocalHost, port))
            return;
    }
}

// False when the client gave up on the handshake (a certificate it refused, say).
bool ScriptedServer::Handshake(QTcpSocket& socket) const {
    auto* tls = qobject_cast<QSslSocket*>(&socket);
    if (!tls)
        return false;
    tls->startServerEncryption();
    QElapsedTimer waited;
    waited.start();
    while (!m_stop && !tls->isEncrypted() && waited.elapsed() < kStepLimit &&
           tls->state() == QAbstractSocket::ConnectedState)
        tls->waitForEncrypted(kSlice);
    return tls->isEncrypted();
}

void ScriptedServer::Record(std::size_t connection, const std::string& line) {
    std::lock_guard lock(m_mutex);
    m_received[connection].push_back(line);
}

void ScriptedServer::Note(const std::string& mismatch) {
    std::lock_guard lock(m_mutex);
    m_mismatches.push_back(mismatch);
}

void ScriptedServer::Run(std::promise<quint16> port) {
    TlsCapableServer server(ServerConfiguration(m_tls));
    Listen(server);
    port.set_value(server.serverPort());
    for (std::size_t index = 0; index < m_scripts.size() && !m_stop; ++index) {
        QElapsedTimer waited;
        waited.start();
        while (!m_stop && !server.hasPendingConnections() && waited.elapsed() < kAcceptLimit)
            server.waitForNewConnection(kSlice);
        std::unique_ptr<QTcpSocket> socket(server.nextPendingConnection());
        if (!socket)
            break;
        if (m_nagle == Nagle::Off)
            socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        LineReader reader(*socket);
        bool closed = m_tls && m_tls->implicit && !Handshake(*socket);
        for (const Script::Step& step : m_scripts[index].steps) {
            if (m_stop || closed)
                break;
            switch (step.kind) {
            case Script::Step::Send:
                socket->write(step.text.data(), static_cast<qint64>(step.text.size()));
                for (int i = 0; i < kStepLimit / kSlice && socket->bytesToWrite() > 0; ++i)
                    socket->waitForBytesWritten(kSlice);
                break;
            case Script::Step::Expect: {
                std::optional<std::string> line = reader.Next(m_stop, kStepLimit);
                if (line)
                    Record(index, *line);
                if (!line || *line != step.text)
                    Note("expected \"" + step.text + "\", got " +
                         (line ? "\"" + *line + "\"" : std::string("nothing")));
                break;
            }
            case Script::Step::Pause:
                SleepUnlessStopped(step.ms, m_stop);
                break;
            case Script::Step::Close:
                socket->disconnectFromHost();
                closed = true;
                break;
            case Script::Step::StartTls:
                closed = !Handshake(*socket);
                break;
            }
            ++m_stepsRun;
        }
        // Whatever else the client sends is recorded until it goes away.
        while (!closed && !m_stop) {
            std::optional<std::string> line = reader.Next(m_stop, kStepLimit);
            if (!line)
                break;
            Record(index, *line);
        }
    }
    m_done = true;
}

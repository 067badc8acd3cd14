#include "nntp/CNewsConnection.h"

#include <QElapsedTimer>
#include <QNetworkProxy>
#include <QSslConfiguration>
#include <QSslSocket>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <string>

#ifdef __linux__
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

#include "engine/CSocketOwnerWnd.h"
#include "nntp/CCertificateCheck.h"
#include "nntp/CCertificatePrompt.h"
#include "nntp/CLogonPrompt.h"
#include "nntp/WinsockErrors.h"
#include "platform/CProfile.h"
#include "platform/CStringTable.h"
#include "platform/ConnectionErrors.h"
#include "platform/Diagnostics.h"
#include "platform/StringIds.h"

namespace {

// Longest stretch the event loop waits while buffered lines are being delivered.
constexpr qint64 kDeliveryBudgetMs = 10;
// Lines delivered between two looks at the clock: reading it costs more than handing over
// a short line, and this many lines take far less than the budget.
constexpr unsigned kLinesPerClockCheck = 64;
// Most bytes taken from the kernel by one read: a whole article of ordinary size.
constexpr qint64 kReadChunk = 256 * 1024;
// Complete lines waiting past this many bytes: the rest stays with the kernel until the owner
// has taken them, so a server faster than its owner cannot fill the memory.
constexpr std::size_t kMaxWaitingBytes = 4 * kReadChunk;
// QUIT is a courtesy: never hold a closing connection longer than this for it.
constexpr int kQuitWriteMs = 1000;
// How often a blocking read that waits asks whether the user wants it to stop.
constexpr qint64 kStopCheckMs = 200;

// A literal address (dotted IPv4, or IPv6) is connected to without any lookup; anything
// else, including names that merely begin with a digit, is looked up by name.
bool ParseLiteralAddress(const std::string& server, QHostAddress& address) {
    return address.setAddress(QString::fromStdString(server));
}

// A message of the string table with "%1" the server and "%2" the detail.
std::string ServerMessage(unsigned id, const std::string& server, std::string_view detail) {
    return QString::fromStdString(CStringTable::Load(id))
        .arg(QString::fromStdString(server), QString::fromUtf8(detail.data(), detail.size()))
        .toStdString();
}

} // namespace

CNewsConnection::CNewsConnection(std::string server, CProfile& profile, CSocketOwnerWnd* owner)
    : m_strServer(std::move(server)), m_profile(profile), m_pOwner(owner) {
    m_timer.setSingleShot(true);
    m_pump.setSingleShot(true);
    m_pump.setInterval(0);
    connect(&m_timer, &QTimer::timeout, this, &CNewsConnection::OnTimer);
    connect(&m_pump, &QTimer::timeout, this, &CNewsConnection::Pump);
}

CNewsConnection::~CNewsConnection() {
    *m_alive = false;
    Close();
}

CServerRecord CNewsConnection::Record() const {
    return CServerRecord(m_profile, m_strServer);
}

int CNewsConnection::ReadTimeout() const {
    return static_cast<int>(Record().GetTimeout());
}

quint16 CNewsConnection::ReadPort() const {
    return static_cast<quint16>(Record().GetPort());
}

int CNewsConnection::ParseCode(std::string_view line) {
    std::size_t digits = 0;
    while (digits < line.size() && digits < 9 && line[digits] >= '0' && line[digits] <= '9')
        ++digits;
    int code = 0;
    std::from_chars(line.data(), line.data() + digits, code);
    return code;
}

std::string CNewsConnection::TraceText(std::string_view line) {
    constexpr std::string_view kPass = "AUTHINFO PASS";
    bool isPass = line.size() >= kPass.size() &&
                  std::equal(kPass.begin(), kPass.end(), line.begin(), [](char a, char b) {
                      return a == std::toupper(static_cast<unsigned char>(b));
                  });
    if (isPass)
        return std::string(kPass) + " ********";
    return std::string(line);
}

// ---------------------------------------------------------------------------------
// Shared

// A plain QAbstractSocket of the TCP type keeps no read buffer of its own (a QTcpSocket
// would copy every byte once more on its way to the line buffer). An encrypted connection
// needs QSslSocket, which buffers what it decrypts; only such a connection pays for that.
void CNewsConnection::MakeSocket() {
    if (Encrypted()) {
        auto* socket = new QSslSocket(nullptr);
        QSslConfiguration config = QSslConfiguration::defaultConfiguration();
        config.setProtocol(QSsl::TlsV1_2OrLater);
        // The handshake only gathers what is wrong with the certificate; AcceptCertificate
        // judges it afterwards, so that the findings can be reported or put to the user
        // before anything is sent.
        config.setPeerVerifyMode(QSslSocket::QueryPeer);
        socket->setSslConfiguration(config);
        // Checked against the certificate, and sent as the server name unless it is an
        // address.
        socket->setPeerVerifyName(QString::fromStdString(m_strServer));
        // What it decrypts ahead of the line buffer is bounded as well.
        socket->setReadBufferSize(static_cast<qint64>(kMaxWaitingBytes));
        m_pSocket = socket;
    } else {
        m_pSocket = new QAbstractSocket(QAbstractSocket::TcpSocket, nullptr);
    }
    m_pSocket->setProxy(QNetworkProxy::NoProxy);
    m_nPendingError = 0;
}

QSslSocket* CNewsConnection::TlsSocket() const {
    return static_cast<QSslSocket*>(m_pSocket);
}

std::string CNewsConnection::TlsError() const {
    return m_pSocket ? m_pSocket->errorString().toStdString() : std::string();
}

void CNewsConnection::BeginHandshake() {
    m_ePhase = Phase::Securing;
    TlsSocket()->startClientEncryption();
    ArmTimer();
}

bool CNewsConnection::AcceptCertificate() const {
    CServerRecord record = Record();
    const QSslSocket* socket = TlsSocket();
    const CCertificateCheck check(m_strServer, socket->peerCertificate(),
                                  socket->sslHandshakeErrors(), record.GetVerifyCertificate(),
                                  record.GetCertificateFingerprint());
    switch (check.Decide()) {
    case CCertificateCheck::Verdict::Accepted:
        return true;
    case CCertificateCheck::Verdict::Unverified:
        break;
    case CCertificateCheck::Verdict::Changed:
    case CCertificateCheck::Verdict::Missing:
        CCertificatePrompt::Report(check.RefusalMessage(false));
        return false;
    }
    if (!CCertificatePrompt::CanAsk()) {
        CCertificatePrompt::Report(check.RefusalMessage(true));
        return false;
    }
    if (!CCertificatePrompt::Ask(check.Details())) {
        CCertificatePrompt::Report(check.RefusalMessage(false));
        return false;
    }
    record.WriteCertificateFingerprint(check.Fingerprint());
    CCertificatePrompt::Report(check.TrustedMessage());
    return true;
}

void CNewsConnection::SendStartTls() {
    constexpr std::string_view kCommand = "STARTTLS\r\n";
    DebugTrace(3, "%s\n", "STARTTLS");
    if (m_bBlocking) {
        WriteBlocking(std::string(kCommand));
        return;
    }
    m_pSocket->write(kCommand.data(), static_cast<qint64>(kCommand.size()));
    Flush();
}

// An asynchronous socket is never deleted synchronously: this may run inside a chain of
// calls that started in one of its signals.
void CNewsConnection::ReleaseSocket() {
    if (!m_pSocket)
        return;
    QAbstractSocket* socket = m_pSocket;
    m_pSocket = nullptr;
    socket->disconnect(this);
    if (Encrypted())
        static_cast<QSslSocket*>(socket)->abort();
    else
        socket->abort();
    // The blocking mode connects no signals, so its socket can go at once.
    if (m_bBlocking)
        delete socket;
    else
        socket->deleteLater();
}

void CNewsConnection::Reset() {
    // A lookup in flight is left to finish: the generation check drops its result. Aborting
    // it would leak the result's slot object inside Qt.
    ++m_nGeneration;
    ReleaseSocket();
    m_ePhase = Phase::Closed;
    m_timer.stop();
    m_pump.stop();
    m_nPendingError = 0;
    m_buffer.Clear();
    m_strGreeting.clear();
    m_bStartTlsSent = false;
    m_bUnread = false;
}

void CNewsConnection::Close() {
    if (m_ePhase == Phase::Connected)
        SendQuit();
    Reset();
}

void CNewsConnection::SendQuit() {
    if (!m_pSocket || m_pSocket->state() != QAbstractSocket::ConnectedState)
        return;
    DebugTrace(3, "%s\n", "QUIT");
    m_pSocket->write("QUIT\r\n");
    if (m_bBlocking)
        m_pSocket->waitForBytesWritten(std::min(m_nTimeout, kQuitWriteMs));
    else
        Flush();
}

void CNewsConnection::SendLine(std::string_view line) {
    if (g_nDebugLevel >= 3) {
        std::string text = TraceText(line);
        DebugTrace(3, "%s\n", text.c_str());
    }
    if (m_ePhase != Phase::Connected || !m_pSocket ||
        m_pSocket->state() != QAbstractSocket::ConnectedState)
        Fail("not connected to " + m_strServer, WinsockErrors::kNotConnected);
    std::string data;
    data.reserve(line.size() + 2);
    data.append(line).append("\r\n");
    if (m_bBlocking) {
        WriteBlocking(data);
        return;
    }
    // Qt keeps whatever the kernel does not take at once and sends it from the event
    // loop, so a short send never loses the rest of the line.
    qint64 written = m_pSocket->write(data.data(), static_cast<qint64>(data.size()));
    Flush();
    if (written != static_cast<qint64>(data.size()) ||
        m_pSocket->state() != QAbstractSocket::ConnectedState)
        Fail("cannot send to " + m_strServer, WinsockErrors::FromSocketError(m_pSocket->error()));
    ArmTimer();
}

// Reads what the kernel holds, up to one chunk: more is announced again by the socket, and a
// flood cannot keep the event loop here. False when the read failed, the server's close
// included: the socket then no longer exists for Qt and its error says why.
bool CNewsConnection::ReadAvailable() {
    qint64 got = 0;
    if (m_buffer.Overlong()) {
        // Nothing more is kept of a line that is refused anyway.
        char discard[4096];
        for (qint64 dropped = 0; dropped < kReadChunk; dropped += got) {
            got = m_pSocket->read(discard, sizeof discard);
            if (got <= 0)
                break;
        }
    } else {
        char* target = m_buffer.Reserve(static_cast<std::size_t>(kReadChunk));
        got = m_pSocket->read(target, kReadChunk);
        m_buffer.Commit(got > 0 ? static_cast<std::size_t>(got) : 0);
    }
    if (got < 0)
        return false;
    RearmQuickAck();
    return true;
}

// QSslSocket hides, rather than overrides, flush, abort and setSocketOption of QAbstractSocket:
// called through the base class they act on a socket engine it does not have, and do nothing.
void CNewsConnection::Flush() {
    if (Encrypted())
        TlsSocket()->flush();
    else
        m_pSocket->flush();
}

void CNewsConnection::TuneSocket() {
    if (Encrypted())
        TlsSocket()->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    else
        m_pSocket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    RearmQuickAck();
}

// A server that writes a reply's status line and its data block separately, with Nagle
// on, holds the data block until the status line is acknowledged; a delayed ACK then
// costs tens of milliseconds per reply. Quick-ACK mode is not sticky, so it is set again
// after every read.
void CNewsConnection::RearmQuickAck() {
#ifdef TCP_QUICKACK
    qintptr fd = m_pSocket->socketDescriptor();
    if (fd < 0)
        return;
    int on = 1;
    setsockopt(static_cast<int>(fd), IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
#endif
}

void CNewsConnection::Fail(const std::string& what, int error) const {
    throw CConnectionException(what, error);
}

// ---------------------------------------------------------------------------------
// Asynchronous mode

void CNewsConnection::Start() {
    Reset();
    if (!m_pOwner)
        Fail("no owner for the connection to " + m_strServer, 0);
    if (m_strServer.empty())
        Fail("no server name", WinsockErrors::kHostNotFound);
    m_bBlocking = false;
    m_nTimeout = ReadTimeout();
    m_eEncryption = Record().GetEncryption();
    m_ePhase = Phase::LookingUp;
    const unsigned generation = m_nGeneration;
    QHostAddress literal;
    if (ParseLiteralAddress(m_strServer, literal)) {
        // Reported from the event loop like a finished lookup, so that the owner sees
        // the same order of events either way.
        QTimer::singleShot(0, this, [this, generation, literal] {
            if (generation == m_nGeneration && m_ePhase == Phase::LookingUp)
                BeginConnect({literal});
        });
    } else {
        QHostInfo::lookupHost(
            QString::fromStdString(m_strServer), this,
            [this, generation](const QHostInfo& info) { OnLookupDone(info, generation); });
    }
    ArmTimer();
}

void CNewsConnection::OnLookupDone(const QHostInfo& info, unsigned generation) {
    if (generation != m_nGeneration || m_ePhase != Phase::LookingUp)
        return;
    if (info.error() != QHostInfo::NoError || info.addresses().isEmpty()) {
        m_ePhase = Phase::Closed;
        int error = WinsockErrors::FromLookupError(info.error());
        ReportError(CSocketOwnerWnd::kHostFound, error ? error : WinsockErrors::kHostNotFound);
        return;
    }
    BeginConnect(info.addresses());
}

void CNewsConnection::BeginConnect(const QList<QHostAddress>& addresses) {
    m_addresses = addresses;
    m_nNextAddress = 0;
    m_nPort = ReadPort();
    m_ePhase = Phase::Connecting;
    ConnectNextAddress(WinsockErrors::kHostNotFound);
}

// Addresses are tried in the order of the lookup; each gets the whole time limit.
void CNewsConnection::ConnectNextAddress(int lastError) {
    ReleaseSocket();
    if (m_nNextAddress >= m_addresses.size()) {
        m_ePhase = Phase::Closed;
        ReportError(CSocketOwnerWnd::kHostFound, lastError);
        return;
    }
    MakeSocket();
    connect(m_pSocket, &QAbstractSocket::connected, this, &CNewsConnection::OnSocketConnected);
    connect(m_pSocket, &QAbstractSocket::readyRead, this,
            Encrypted() ? &CNewsConnection::OnTlsReadyRead : &CNewsConnection::OnSocketReadyRead);
    connect(m_pSocket, &QAbstractSocket::errorOccurred, this, &CNewsConnection::OnSocketError);
    if (Encrypted())
        connect(TlsSocket(), &QSslSocket::encrypted, this, &CNewsConnection::OnSocketEncrypted);
    ArmTimer();
    m_pSocket->connectToHost(m_addresses[m_nNextAddress++], m_nPort);
}

void CNewsConnection::OnSocketConnected() {
    m_buffer.Clear();
    TuneSocket();
    switch (m_eEncryption) {
    case CServerRecord::Encryption::None:
        m_ePhase = Phase::Connected;
        break;
    case CServerRecord::Encryption::Implicit:
        BeginHandshake();
        break;
    case CServerRecord::Encryption::StartTls:
        m_ePhase = Phase::Negotiating;
        break;
    }
    ArmTimer();
}

void CNewsConnection::OnSocketEncrypted() {
    m_ePhase = Phase::Verifying;
    m_pump.start();
}

// Before the owner hears of the server: the greeting is read and held back, STARTTLS sent,
// and on its 382 the handshake begins. Any other answer ends the connection.
void CNewsConnection::NegotiateStartTls() {
    std::string_view line;
    while (m_buffer.NextLine(line)) {
        if (g_nDebugLevel >= 5)
            DebugTrace(5, "%s\n", std::string(line).c_str());
        const int code = ParseCode(line);
        if (!m_bStartTlsSent) {
            if (code != 200 && code != 201)
                return FailSecuring(ServerMessage(ids::kTlsFailed, m_strServer, line),
                                    CSocketOwnerWnd::kSocketNotification, WinsockErrors::kAborted);
            m_strGreeting = line;
            m_bStartTlsSent = true;
            SendStartTls();
            continue;
        }
        if (code != 382)
            return FailSecuring(ServerMessage(ids::kStartTlsRefused, m_strServer, line),
                                CSocketOwnerWnd::kSocketNotification, WinsockErrors::kAborted);
        // Bytes after the 382 came in clear text, where nothing may be slipped in.
        if (m_buffer.Pending() > 0)
            return FailSecuring(ServerMessage(ids::kTlsFailed, m_strServer,
                                              CStringTable::Load(ids::kOutOfTurnAroundStartTls)),
                                CSocketOwnerWnd::kSocketNotification, WinsockErrors::kAborted);
        m_buffer.Clear();
        BeginHandshake();
        return;
    }
    if (m_nPendingError != 0)
        FailSecuring(ServerMessage(ids::kTlsFailed, m_strServer, TlsError()),
                     CSocketOwnerWnd::kSocketNotification, m_nPendingError);
}

// Socket signals only gather bytes and errors; lines and errors reach the owner from
// the pump, so the owner never runs inside a signal of the socket.
void CNewsConnection::OnSocketReadyRead() {
    if (LinesBackedUp()) {
        // Read once the owner has taken lines; the server is not the one waited for meanwhile.
        m_bUnread = true;
        m_timer.stop();
    } else {
        GatherBytes();
    }
    m_pump.start();
}

bool CNewsConnection::LinesBackedUp() const {
    return m_buffer.HasLine() && m_buffer.Pending() >= kMaxWaitingBytes;
}

// QSslSocket announces what it decrypts in pieces of a few kilobytes, many in one go: they are
// taken together, once per turn of the event loop.
void CNewsConnection::OnTlsReadyRead() {
    m_bUnread = true;
    m_pump.start();
}

void CNewsConnection::GatherBytes() {
    const std::size_t linesBefore = m_buffer.LinesSeen();
    const bool midLine = m_buffer.UnendedBytes() > 0;
    if (!ReadAvailable() && m_nPendingError == 0)
        m_nPendingError = WinsockErrors::FromSocketError(m_pSocket->error());
    // The line now in progress began with this read unless it was already under way: bytes
    // that trickle in without ending it do not buy more time.
    if (!midLine || m_buffer.LinesSeen() != linesBefore)
        m_lineStarted.start();
    ArmTimer();
}

void CNewsConnection::OnSocketError(QAbstractSocket::SocketError error) {
    if (m_nPendingError == 0)
        m_nPendingError = WinsockErrors::FromSocketError(error);
    m_pump.start();
}

void CNewsConnection::Pump() {
    if (m_bUnread && !LinesBackedUp()) {
        m_bUnread = false;
        GatherBytes();
        // What one read does not take waits in the socket's own buffer, unannounced.
        if (m_pSocket && m_pSocket->bytesAvailable() > 0) {
            m_bUnread = true;
            m_pump.start();
        }
    }
    switch (m_ePhase) {
    case Phase::Connected:
        DeliverLines();
        return;
    case Phase::Connecting:
        if (m_nPendingError != 0)
            ConnectNextAddress(m_nPendingError);
        return;
    case Phase::Negotiating:
        NegotiateStartTls();
        return;
    case Phase::Securing:
        if (m_nPendingError != 0)
            FailSecuring(ServerMessage(ids::kTlsFailed, m_strServer, TlsError()),
                         CSocketOwnerWnd::kSocketNotification, m_nPendingError);
        return;
    case Phase::Verifying:
        VerifyAndGoOn();
        return;
    case Phase::Closed:
    case Phase::LookingUp:
    case Phase::Asking:
        return;
    }
}

// The certificate is judged from the pump, outside the socket's signals, since the user may
// be asked about it; lines that arrive meanwhile wait in the buffer.
void CNewsConnection::VerifyAndGoOn() {
    m_timer.stop();
    m_ePhase = Phase::Asking;
    const std::shared_ptr<bool> alive = m_alive;
    const unsigned generation = m_nGeneration;
    const bool accepted = AcceptCertificate();
    if (!*alive || generation != m_nGeneration)
        return;
    if (!accepted) {
        Reset();
        ReportError(CSocketOwnerWnd::kSocketNotification, WinsockErrors::kAborted);
        return;
    }
    OnSecured();
}

// From here on the connection is an ordinary one; a greeting held back by STARTTLS is the
// owner's first line.
void CNewsConnection::OnSecured() {
    if (!m_strGreeting.empty()) {
        // Nothing may come over the new channel before the client's first command.
        if (m_buffer.Pending() > 0)
            return FailSecuring(ServerMessage(ids::kTlsFailed, m_strServer,
                                              CStringTable::Load(ids::kOutOfTurnAroundStartTls)),
                                CSocketOwnerWnd::kSocketNotification, WinsockErrors::kAborted);
        m_strGreeting += "\r\n";
        m_buffer.Append(m_strGreeting.data(), m_strGreeting.size());
        m_strGreeting.clear();
    }
    m_ePhase = Phase::Connected;
    ArmTimer();
    m_pump.start();
}

// Always the last thing a handler does: the owner may delete the connection.
void CNewsConnection::FailSecuring(const std::string& message, int notification, int error) {
    CCertificatePrompt::Report(message);
    Reset();
    ReportError(notification, error);
}

void CNewsConnection::OnTimer() {
    switch (m_ePhase) {
    case Phase::LookingUp:
        Reset();
        ReportError(CSocketOwnerWnd::kTimerNotification, CSocketOwnerWnd::kTimeoutError);
        return;
    case Phase::Connecting:
        ConnectNextAddress(WinsockErrors::kTimedOut);
        return;
    case Phase::Negotiating:
    case Phase::Securing:
    case Phase::Verifying:
        FailSecuring(ServerMessage(ids::kTlsFailed, m_strServer,
                                   CStringTable::Load(ids::kHandshakeTimedOut)),
                     CSocketOwnerWnd::kTimerNotification, CSocketOwnerWnd::kTimeoutError);
        return;
    case Phase::Asking:
        return;
    case Phase::Connected:
        // Lines still being handed over mean the server is not the one that is slow.
        if (m_bDelivering || m_buffer.HasLine()) {
            ArmTimer();
            return;
        }
        ReportError(CSocketOwnerWnd::kTimerNotification, CSocketOwnerWnd::kTimeoutError);
        return;
    case Phase::Closed:
        return;
    }
}

// Hands buffered lines to the owner in order, several per turn of the event loop but
// never for longer than the delivery budget, so the user interface stays responsive.
void CNewsConnection::DeliverLines() {
    if (m_bDelivering)
        return;
    QElapsedTimer clock;
    clock.start();
    const std::shared_ptr<bool> alive = m_alive;
    const unsigned generation = m_nGeneration;
    // The lines are views into the receive buffer; the pin keeps them valid while the owner
    // handles them, even if it deletes this connection.
    const std::shared_ptr<const char[]> pin = m_buffer.Pin();
    std::string_view line;
    unsigned sinceCheck = 0;
    while (m_buffer.NextLine(line)) {
        if (g_nDebugLevel >= 5)
            DebugTrace(5, "%s\n", std::string(line).c_str());
        m_bDelivering = true;
        const bool more = m_pOwner->OnResponseLine(line);
        if (!*alive)
            return;
        m_bDelivering = false;
        if (generation != m_nGeneration)
            return;
        if (!more) {
            // The owner wants no more lines for now; new data starts delivery again.
            m_timer.stop();
            return;
        }
        if (++sinceCheck < kLinesPerClockCheck)
            continue;
        sinceCheck = 0;
        if (clock.elapsed() >= kDeliveryBudgetMs) {
            ArmTimer();
            m_pump.start();
            return;
        }
    }
    // Reading waited for these lines to be taken.
    if (m_bUnread)
        m_pump.start();
    if (m_buffer.Overlong() && m_nPendingError == 0)
        m_nPendingError = WinsockErrors::kNoBuffers;
    if (m_nPendingError != 0) {
        const int error = m_nPendingError;
        m_nPendingError = 0;
        ReportError(CSocketOwnerWnd::kSocketNotification, error);
        return;
    }
    ArmTimer();
    // Every line received so far has been handed over; the owner may use the wait.
    m_pOwner->OnIdle();
}

// Always the last thing a handler does: the owner may delete the connection.
void CNewsConnection::ReportError(int notification, int error) {
    m_timer.stop();
    m_pOwner->OnConnectionError(notification, error);
}

// The full time limit from now, except for a line under way with no complete line waiting:
// that one must end within the limit counted from its first byte.
void CNewsConnection::ArmTimer() {
    if (m_bBlocking)
        return;
    qint64 limit = m_nTimeout;
    if (m_ePhase == Phase::Connected && !m_buffer.HasLine() && m_buffer.UnendedBytes() > 0 &&
        m_lineStarted.isValid())
        limit = std::max<qint64>(0, limit - m_lineStarted.elapsed());
    m_timer.start(static_cast<int>(limit));
}

// ---------------------------------------------------------------------------------
// Blocking mode

QList<QHostAddress> CNewsConnection::ResolveBlocking() const {
    QHostAddress literal;
    if (ParseLiteralAddress(m_strServer, literal))
        return {literal};
    if (m_strServer.empty())
        Fail("no server name", WinsockErrors::kHostNotFound);
    QHostInfo info = QHostInfo::fromName(QString::fromStdString(m_strServer));
    if (info.error() != QHostInfo::NoError || info.addresses().isEmpty())
        Fail("cannot resolve " + m_strServer, WinsockErrors::kHostNotFound);
    return info.addresses();
}

void CNewsConnection::ConnectFirstReachable(const QList<QHostAddress>& addresses) {
    int lastError = WinsockErrors::kHostNotFound;
    for (const QHostAddress& address : addresses) {
        MakeSocket();
        m_pSocket->connectToHost(address, m_nPort);
        if (m_pSocket->waitForConnected(m_nTimeout)) {
            m_ePhase = Encrypted() ? Phase::Negotiating : Phase::Connected;
            TuneSocket();
            return;
        }
        lastError = WinsockErrors::FromSocketError(m_pSocket->error());
        ReleaseSocket();
    }
    Fail("cannot connect to " + m_strServer, lastError);
}

void CNewsConnection::Connect() {
    Reset();
    m_bBlocking = true;
    QList<QHostAddress> addresses = ResolveBlocking();
    m_nTimeout = ReadTimeout();
    m_nPort = ReadPort();
    m_eEncryption = Record().GetEncryption();
    ConnectFirstReachable(addresses);
    try {
        if (m_eEncryption == CServerRecord::Encryption::Implicit)
            SecureBlocking();
        ConnectAndGreet();
    } catch (...) {
        // Closed without QUIT: the exchange has already gone wrong.
        Reset();
        throw;
    }
}

void CNewsConnection::ConnectAndGreet() {
    std::string greeting = ReadLine();
    int code = ParseCode(greeting);
    if (code != 200 && code != 201)
        Fail(m_strServer + " refused the connection: " + greeting, 0);
    if (m_eEncryption == CServerRecord::Encryption::StartTls)
        StartTlsBlocking();
    Login();
    SendLine("MODE READER");
    std::string reply = ReadLine();
    code = ParseCode(reply);
    if (code == 480) {
        LogonPrompt();
        Login();
        return;
    }
    if (code != 200 && code != 201 && code != 500)
        Fail(m_strServer + " refused MODE READER: " + reply, 0);
}

void CNewsConnection::Login() {
    const CServerRecord record = Record();
    if (!record.GetLoginRequired())
        return;
    SendLine("AUTHINFO USER " + record.GetLoginUser());
    ExpectCode(381);
    SendLine("AUTHINFO PASS " + record.GetLoginPassword());
    std::string reply = ReadLine();
    int code = ParseCode(reply);
    if (code == 200 || code == 281)
        return;
    if (code != 502)
        Fail(m_strServer + " refused the login: " + reply, 0);
    Close();
    if (!LogonPrompt())
        throw CUserCancelException();
    // A new connection with the values just entered; the caller then goes on with its
    // own steps on it.
    Connect();
}

void CNewsConnection::StartTlsBlocking() {
    SendStartTls();
    const std::string reply = ReadLine();
    if (ParseCode(reply) != 382) {
        const std::string message = ServerMessage(ids::kStartTlsRefused, m_strServer, reply);
        CCertificatePrompt::Report(message);
        Fail(message, WinsockErrors::kAborted);
    }
    // Bytes after the 382 came in clear text, where nothing may be slipped in.
    if (m_buffer.Pending() > 0) {
        const std::string message = ServerMessage(
            ids::kTlsFailed, m_strServer, CStringTable::Load(ids::kOutOfTurnAroundStartTls));
        CCertificatePrompt::Report(message);
        Fail(message, WinsockErrors::kAborted);
    }
    m_buffer.Clear();
    SecureBlocking();
}

void CNewsConnection::SecureBlocking() {
    QSslSocket* socket = TlsSocket();
    m_ePhase = Phase::Securing;
    socket->startClientEncryption();
    // Waited for in slices, like a reply, so that a Cancel acts while the server stalls.
    const QDeadlineTimer deadline(m_nTimeout);
    while (!socket->waitForEncrypted(
        static_cast<int>(m_stopCheck ? std::min<qint64>(deadline.remainingTime(), kStopCheckMs)
                                     : deadline.remainingTime()))) {
        const bool timedOut = socket->error() == QAbstractSocket::SocketTimeoutError;
        if (timedOut && !deadline.hasExpired()) {
            if (m_stopCheck && m_stopCheck())
                throw CUserCancelException();
            continue;
        }
        const std::string message =
            ServerMessage(ids::kTlsFailed, m_strServer,
                          timedOut ? CStringTable::Load(ids::kHandshakeTimedOut) : TlsError());
        CCertificatePrompt::Report(message);
        Fail(message,
             timedOut ? WinsockErrors::kTimedOut : WinsockErrors::FromSocketError(socket->error()));
    }
    m_ePhase = Phase::Verifying;
    if (!AcceptCertificate())
        Fail("the certificate of " + m_strServer + " is refused", WinsockErrors::kAborted);
    m_ePhase = Phase::Connected;
}

bool CNewsConnection::LogonPrompt() {
    return CLogonPrompt::Run(m_profile, m_strServer);
}

// A line must arrive whole within the time limit, however its bytes trickle in.
std::string CNewsConnection::ReadLine() {
    const QDeadlineTimer deadline(m_nTimeout);
    std::string line;
    while (!m_buffer.TakeLine(line)) {
        if (m_buffer.Overlong())
            Fail("overlong line from " + m_strServer, WinsockErrors::kNoBuffers);
        WaitForData(deadline);
    }
    if (g_nDebugLevel >= 5)
        DebugTrace(5, "%s\n", line.c_str());
    return line;
}

int CNewsConnection::ReadCode() {
    return ParseCode(ReadLine());
}

int CNewsConnection::ExpectCode(int code) {
    std::string reply = ReadLine();
    if (ParseCode(reply) != code)
        Fail("unexpected reply from " + m_strServer + ": " + reply, 0);
    return code;
}

void CNewsConnection::WaitForData(const QDeadlineTimer& deadline) {
    if (!m_pSocket)
        Fail("not connected to " + m_strServer, WinsockErrors::kNotConnected);
    while (m_pSocket->bytesAvailable() == 0) {
        if (deadline.hasExpired())
            Fail("no complete reply line from " + m_strServer + " in time",
                 WinsockErrors::kTimedOut);
        const qint64 slice = m_stopCheck ? std::min<qint64>(deadline.remainingTime(), kStopCheckMs)
                                         : deadline.remainingTime();
        if (m_pSocket->waitForReadyRead(static_cast<int>(slice)))
            break;
        // Bytes that arrived together with the server's close are still read.
        if (m_pSocket->bytesAvailable() > 0)
            break;
        if (m_pSocket->error() != QAbstractSocket::SocketTimeoutError)
            Fail("no reply from " + m_strServer,
                 WinsockErrors::FromSocketError(m_pSocket->error()));
        if (m_stopCheck && m_stopCheck())
            throw CUserCancelException();
    }
    ReadAvailable();
}

// Waits until the whole line has left: a short write is continued, not dropped.
void CNewsConnection::WriteBlocking(const std::string& data) {
    if (m_pSocket->write(data.data(), static_cast<qint64>(data.size())) !=
        static_cast<qint64>(data.size()))
        Fail("cannot send to " + m_strServer, WinsockErrors::FromSocketError(m_pSocket->error()));
    while (m_pSocket->bytesToWrite() > 0) {
        if (!m_pSocket->waitForBytesWritten(m_nTimeout))
            Fail("cannot send to " + m_strServer,
                 WinsockErrors::FromSocketError(m_pSocket->error()));
    }
}

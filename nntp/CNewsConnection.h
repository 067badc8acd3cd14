#pragma once

#include <QAbstractSocket>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QHostInfo>
#include <QList>
#include <QObject>
#include <QTimer>

#include <memory>
#include <string>
#include <string_view>

#include "engine/INewsConnection.h"
#include "nntp/CLineBuffer.h"
#include "servers/CServerRecord.h"
#include "servers/IBlockingConnection.h"

class CProfile;
class CSocketOwnerWnd;
class QSslSocket;

// One TCP connection to one news server, named by the server name (the host name or
// dotted address to connect to, and the registry section "Servers\<name>" of its
// settings). It sends command lines and splits what the server sends into lines at
// CR LF, in two modes over the same object and receive buffer:
//
// - asynchronous (Start): lookup, connect and reads run on the event loop; every line
//   reaches the owner's OnResponseLine, every failure its OnConnectionError. The owner
//   may close, delete or replace the connection from inside either call.
// - blocking (Connect, ReadLine, ExpectCode): request and reply on the calling thread,
//   each wait bounded by the server's "Timeout"; failures raise CConnectionException,
//   a cancelled logon prompt CUserCancelException.
//
// In both modes the server's "Timeout" bounds every wait for the server: each connect,
// the TLS handshake, the greeting and every later reply, and in the asynchronous mode the
// lookup too (the blocking lookup is bounded by the system resolver's own limits).
//
// A server whose record asks for encryption is spoken to over TLS, from the first byte or
// after STARTTLS, and only once its certificate has been accepted (CCertificateCheck) does
// anything but STARTTLS go out: the owner sees the greeting only then, and SendLine refuses
// to send before. Encryption once asked for is never given up for clear text.
class CNewsConnection final : public QObject, public INewsConnection, public IBlockingConnection {
    Q_OBJECT

  public:
    // `owner` receives the lines and errors of the asynchronous mode; the blocking mode
    // needs none.
    CNewsConnection(std::string server, CProfile& profile, CSocketOwnerWnd* owner = nullptr);
    ~CNewsConnection() override;

    CNewsConnection(const CNewsConnection&) = delete;
    CNewsConnection& operator=(const CNewsConnection&) = delete;

    // Asynchronous mode.
    void Start() override;

    // Both modes. SendLine appends CR LF and sends the whole line; Close sends "QUIT"
    // when connected and closes. The object can be started or connected again.
    void SendLine(std::string_view line) override;
    void Close() override;

    // Blocking mode.
    void Connect() override;
    std::string ReadLine() override;
    int ReadCode();
    int ExpectCode(int code) override;
    void Login();
    bool LogonPrompt();

    const std::string& ServerName() const { return m_strServer; }
    // Received bytes not yet handed to the owner.
    std::size_t WaitingBytes() const { return m_buffer.Pending(); }

    // The leading decimal number of a reply line; 0 when there is none.
    static int ParseCode(std::string_view line);
    // A sent line as the diagnostics file shows it: the password is never written.
    static std::string TraceText(std::string_view line);

  private:
    // An encrypted connection passes Negotiating (STARTTLS only), Securing and Verifying on
    // its way from Connecting to Connected; Asking while the user judges the certificate.
    enum class Phase {
        Closed,
        LookingUp,
        Connecting,
        Negotiating,
        Securing,
        Verifying,
        Asking,
        Connected
    };

    CServerRecord Record() const;
    int ReadTimeout() const;
    quint16 ReadPort() const;

    // Asynchronous mode.
    void OnLookupDone(const QHostInfo& info, unsigned generation);
    void BeginConnect(const QList<QHostAddress>& addresses);
    void ConnectNextAddress(int lastError);
    void OnSocketConnected();
    void OnSocketReadyRead();
    bool LinesBackedUp() const;
    void OnTlsReadyRead();
    // Takes what the socket holds into the line buffer and restarts the time limit.
    void GatherBytes();
    void OnSocketError(QAbstractSocket::SocketError error);
    void OnSocketEncrypted();
    void NegotiateStartTls();
    void VerifyAndGoOn();
    void OnSecured();
    void FailSecuring(const std::string& message, int notification, int error);
    void OnTimer();
    void Pump();
    void DeliverLines();
    void ReportError(int notification, int error);
    void ArmTimer();

    // Blocking mode.
    QList<QHostAddress> ResolveBlocking() const;
    void ConnectFirstReachable(const QList<QHostAddress>& addresses);
    void ConnectAndGreet();
    void WaitForData(const QDeadlineTimer& deadline);
    void WriteBlocking(const std::string& data);
    void StartTlsBlocking();
    void SecureBlocking();
    [[noreturn]] void Fail(const std::string& what, int error) const;

    // Shared.
    bool Encrypted() const { return m_eEncryption != CServerRecord::Encryption::None; }
    void MakeSocket();
    QSslSocket* TlsSocket() const;
    // Starts the handshake on the connected socket.
    void BeginHandshake();
    // Whether the server's certificate may be used: asks the user or reports the refusal.
    // Touches no member after asking, so that it may be called by a connection that the
    // owner deletes meanwhile.
    bool AcceptCertificate() const;
    // The one command an encrypted connection sends before it is secured.
    void SendStartTls();
    std::string TlsError() const;
    void ReleaseSocket();
    void Reset();
    bool ReadAvailable();
    void SendQuit();
    void Flush();
    void TuneSocket();
    void RearmQuickAck();

    std::string m_strServer;
    CProfile& m_profile;
    CSocketOwnerWnd* m_pOwner;

    CLineBuffer m_buffer;
    int m_nTimeout = 30000;
    // Unbuffered: reads go from the kernel straight into m_buffer.
    QAbstractSocket* m_pSocket = nullptr;
    Phase m_ePhase = Phase::Closed;
    bool m_bBlocking = false;
    CServerRecord::Encryption m_eEncryption = CServerRecord::Encryption::None;
    // STARTTLS: the greeting held back until the connection is secured, and whether the
    // command has gone out.
    std::string m_strGreeting;
    bool m_bStartTlsSent = false;
    // Decrypted bytes were announced and are still to be taken.
    bool m_bUnread = false;

    QList<QHostAddress> m_addresses;
    qsizetype m_nNextAddress = 0;
    quint16 m_nPort = 119;

    QTimer m_timer;              // time limit of the lookup, each connect and every wait for data
    QElapsedTimer m_lineStarted; // when the first byte of the line under way arrived
    QTimer m_pump; // zero timer: delivers lines and errors outside the socket's signals
    int m_nPendingError = 0;
    bool m_bDelivering = false;
    // Changes at every Start, Connect and Close, so that late lookup results and
    // deliveries of an earlier connection are recognised and dropped.
    unsigned m_nGeneration = 0;
    // Cleared by the destructor: code that called out to the owner checks it before it
    // touches a member again.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

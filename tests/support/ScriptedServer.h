#pragma once

#include <QtGlobal>

#include <atomic>
#include <future>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class QTcpServer;
class QTcpSocket;

// What a scripted news server does on one connection, step by step. After the last
// step it keeps reading (and recording) until the client closes.
class Script {
  public:
    struct Step {
        enum Kind { Send, Expect, Pause, Close, StartTls } kind;
        std::string text;
        int ms = 0;
    };

    // One write of exactly these bytes.
    Script& Send(std::string bytes);
    // Waits for the client's next line; a different line is noted as a mismatch.
    Script& Expect(std::string line);
    Script& Pause(int ms);
    // The server closes the connection.
    Script& Close();
    // The server begins its side of the TLS handshake (after its own 382, say); a server
    // without a TLS identity closes instead.
    Script& StartTls();

    std::vector<Step> steps;
};

// A news server on 127.0.0.1 and a free port, run on its own thread so that blocking
// clients can talk to it too. Connections are served one after another, each by the
// next script. Every wait is bounded.
class ScriptedServer {
  public:
    // The certificate and key (PEM files) of a server that speaks TLS, and whether it does so
    // from the first byte or only from a StartTls step on.
    struct TlsIdentity {
        std::string certificateFile;
        std::string keyFile;
        bool implicit = true;
    };

    // Whether the server's writes go out at once or Nagle's algorithm may hold them.
    enum class Nagle { Off, On };
    // Any free port, or a free one below 10000, which a four-digit port field can hold.
    enum class Ports { Any, FourDigits };

    explicit ScriptedServer(std::vector<Script> scripts, Nagle nagle = Nagle::Off,
                            Ports ports = Ports::Any);
    ScriptedServer(std::vector<Script> scripts, TlsIdentity tls);
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    quint16 Port() const { return m_port; }
    // Lines received from the client, per connection, in order; those that came before a
    // handshake are in clear text.
    std::vector<std::vector<std::string>> Received() const;
    std::vector<std::string> Mismatches() const;
    // Waits until every script has run and its client has gone.
    bool WaitDone(int ms) const;
    // How many steps have been run so far, over all connections: a client can tell from it
    // whether the server has got past a step (a pause, say).
    std::size_t StepsRun() const { return m_stepsRun; }

  private:
    // Starts the thread and waits for its port.
    void Begin();
    void Listen(QTcpServer& server) const;
    bool Handshake(QTcpSocket& socket) const;
    void Run(std::promise<quint16> port);
    void Record(std::size_t connection, const std::string& line);
    void Note(const std::string& mismatch);

    std::vector<Script> m_scripts;
    Nagle m_nagle;
    Ports m_ports;
    std::optional<TlsIdentity> m_tls;
    quint16 m_port = 0;
    std::atomic<std::size_t> m_stepsRun{0};
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_done{false};
    mutable std::mutex m_mutex;
    std::vector<std::vector<std::string>> m_received;
    std::vector<std::string> m_mismatches;
    std::thread m_thread;
};

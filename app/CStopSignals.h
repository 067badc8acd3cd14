#pragma once

#include <csignal>
#include <functional>
#include <iterator>
#include <memory>

class QSocketNotifier;

// Turns SIGINT, SIGTERM, SIGHUP (the terminal went away) and SIGQUIT into a call on the event
// loop, so that each of them stops the run and saves instead of killing the process mid-file. The
// signal handler only writes the signal number into a socket pair (async-signal-safe); a
// QSocketNotifier on the other end calls the handler from the loop, where any work is safe. One
// instance at a time; the previous signal dispositions come back when it is destroyed.
class CStopSignals {
  public:
    using Handler = std::function<void(int signal)>;

    explicit CStopSignals(Handler handler);
    ~CStopSignals();
    CStopSignals(const CStopSignals&) = delete;
    CStopSignals& operator=(const CStopSignals&) = delete;

    // False when the socket pair could not be made; signals then keep their old effect.
    bool IsActive() const { return m_bActive; }
    // The last signal received (0 while none was), also before the loop delivered it.
    int PendingSignal() const;
    // Reads what the signal handler wrote and calls the handler; normally the notifier does it.
    void Dispatch();

  private:
    static void OnSignal(int signal);

    Handler m_handler;
    int m_fds[2] = {-1, -1};
    bool m_bActive = false;
    std::unique_ptr<QSocketNotifier> m_pNotifier;
    static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
    struct sigaction m_oldActions[std::size(kSignals)]{};
};

#include "app/CStopSignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Shared with the signal handler, which may touch nothing else.
volatile sig_atomic_t g_writeFd = -1;
volatile sig_atomic_t g_lastSignal = 0;

} // namespace

CStopSignals::CStopSignals(Handler handler) : m_handler(std::move(handler)) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, m_fds) != 0)
        return;
    g_lastSignal = 0;
    g_writeFd = m_fds[1];
    m_pNotifier = std::make_unique<QSocketNotifier>(m_fds[0], QSocketNotifier::Read);
    QObject::connect(m_pNotifier.get(), &QSocketNotifier::activated, [this] { Dispatch(); });

    struct sigaction action {};
    action.sa_handler = &CStopSignals::OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(kSignals); ++i)
        sigaction(kSignals[i], &action, &m_oldActions[i]);
    m_bActive = true;
}

CStopSignals::~CStopSignals() {
    if (!m_bActive)
        return;
    for (std::size_t i = 0; i < std::size(kSignals); ++i)
        sigaction(kSignals[i], &m_oldActions[i], nullptr);
    g_writeFd = -1;
    m_pNotifier.reset();
    ::close(m_fds[0]);
    ::close(m_fds[1]);
}

int CStopSignals::PendingSignal() const {
    return g_lastSignal;
}

void CStopSignals::OnSignal(int signal) {
    const int savedErrno = errno;
    g_lastSignal = signal;
    const unsigned char byte = static_cast<unsigned char>(signal);
    if (g_writeFd >= 0) {
        // A full socket buffer only drops a repeated signal; the first one is already queued.
        [[maybe_unused]] const ssize_t written = ::write(g_writeFd, &byte, 1);
    }
    errno = savedErrno;
}

void CStopSignals::Dispatch() {
    unsigned char buffer[64];
    int signal = 0;
    for (;;) {
        const ssize_t got = ::read(m_fds[0], buffer, sizeof buffer);
        if (got <= 0)
            break;
        signal = buffer[got - 1];
    }
    if (signal != 0 && m_handler)
        m_handler(signal);
}

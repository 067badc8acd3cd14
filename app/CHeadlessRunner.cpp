#include "app/CHeadlessRunner.h"

#include <QEventLoop>
#include <QTimer>

#include <csignal>

#include "app/CMainApp.h"
#include "engine/CExtractionRun.h"
#include "platform/CStringTable.h"
#include "platform/StringIds.h"
#include "servers/CGroupTable.h"

namespace {

// How often the loop checks that the run is still active, in case it went idle without a
// completion message; a run must never leave the process waiting for nothing.
constexpr int kWatchdogMilliseconds = 1000;

const char* SignalName(int signal) {
    switch (signal) {
    case SIGINT:
        return "SIGINT";
    case SIGTERM:
        return "SIGTERM";
    default:
        return "a signal";
    }
}

} // namespace

CHeadlessRunner::CHeadlessRunner(CMainApp& app, NewsConnectionFactory factory, std::ostream& out,
                                 std::ostream& err, bool progressLine, std::size_t columns)
    : m_app(app), m_factory(std::move(factory)), m_err(err), m_progress(err, progressLine, columns),
      m_logList(out, &m_progress), m_articleList(out, &m_progress),
      m_stopSignals([this](int signal) { RequestStop(signal); }) {
    m_logList.SetObserver([this](const std::string& line) { OnLogLine(line); });
}

CHeadlessRunner::~CHeadlessRunner() = default;

int CHeadlessRunner::Run(int mode) {
    // A signal during start-up (the group-list download) may not have been dispatched yet.
    if (m_nStopSignal == 0)
        m_nStopSignal = m_stopSignals.PendingSignal();
    if (m_nStopSignal != 0)
        return ExitStatus();
    // A server whose newsgroups could not be read has failed before the run begins.
    m_bServerFailed = m_app.HasLoadFailures();
    if (g_serverTables.empty()) {
        m_err << "No news servers are configured; nothing to do.\n" << std::flush;
        return kNothingToDo;
    }
    m_pRun = std::make_unique<CExtractionRun>(
        m_app.Profile(), g_serverTables, m_app.Settings(), m_app.KillRules(), m_factory, m_logList,
        m_articleList, m_progress, *this, m_app.ProgramFolderPath());
    if (!m_pRun->CanStartExtract()) {
        m_err << "No newsgroups are subscribed on any server; nothing to do.\n" << std::flush;
        m_pRun.reset();
        return m_bServerFailed ? kServerFailed : kNothingToDo;
    }
    PrepareMessages();
    m_nMode = mode;
    m_pRun->StartOrStop(mode);
    if (m_pRun->IsRunning() && !m_bQuit) {
        QEventLoop loop;
        QTimer watchdog;
        QObject::connect(&watchdog, &QTimer::timeout, [this] { CheckFinished(); });
        watchdog.start(kWatchdogMilliseconds);
        m_pLoop = &loop;
        loop.exec();
        m_pLoop = nullptr;
    }
    m_progress.Clear();
    m_pRun.reset();
    return ExitStatus();
}

void CHeadlessRunner::PrepareMessages() {
    static constexpr unsigned kFailures[] = {ids::kFailedToConnect, ids::kErrorCommunicating,
                                             ids::kUnableToCommunicate, ids::kErrorLoggingIn};
    m_failureLines.clear();
    for (const auto& table : g_serverTables) {
        for (const unsigned id : kFailures)
            m_failureLines.insert(CStringTable::Format(id, table->m_strName));
    }
    m_completeLines = {CStringTable::Load(ids::kExtractComplete),
                       CStringTable::Load(ids::kCatchUpComplete)};
}

void CHeadlessRunner::OnLogLine(const std::string& line) {
    if (m_failureLines.count(line) != 0)
        m_bServerFailed = true;
    if (m_completeLines.count(line) == 0)
        return;
    m_bCompleted = true;
    // The run logs the message before it returns to idle; look once this step is over.
    QTimer::singleShot(0, &m_context, [this] { CheckFinished(); });
}

void CHeadlessRunner::CheckFinished() {
    if (m_pRun && !m_pRun->IsRunning())
        Quit();
}

void CHeadlessRunner::Quit() {
    m_bQuit = true;
    if (m_pLoop)
        m_pLoop->quit();
}

void CHeadlessRunner::RequestStop(int signal) {
    const bool running = m_pRun && m_pRun->IsRunning();
    // A signal between "Extract Complete" and the end of the loop changes nothing.
    if (m_nStopSignal != 0 || (m_bCompleted && !running))
        return;
    m_nStopSignal = signal;
    if (!running)
        return;
    m_progress.Clear();
    m_err << "Stopping on " << SignalName(signal) << ".\n" << std::flush;
    m_pRun->StartOrStop(m_nMode);
    Quit();
}

bool CHeadlessRunner::StopRequested() const {
    return m_nStopSignal != 0 || m_stopSignals.PendingSignal() != 0;
}

bool CHeadlessRunner::LogonPrompt(const std::string& /*server*/) {
    return false;
}

void CHeadlessRunner::PostCommand(unsigned id) {
    if (id == CExtractionRun::kExitCommand)
        Quit();
}

void CHeadlessRunner::SaveSettings() {
    m_app.SaveSettings();
}

int CHeadlessRunner::ExitStatus() const {
    if (m_nStopSignal != 0)
        return kSignalBase + m_nStopSignal;
    if (m_bServerFailed || !m_bCompleted)
        return kServerFailed;
    return kComplete;
}

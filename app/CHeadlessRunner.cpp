#include "app/CHeadlessRunner.h"

#include <QEventLoop>

#include <csignal>

#include "app/CMainApp.h"
#include "engine/CExtractionRun.h"
#include "platform/CStringTable.h"
#include "platform/StringIds.h"
#include "servers/CGroupTable.h"

namespace {

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
      m_stopSignals([this](int signal) { RequestStop(signal); }) {}

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
    m_nMode = mode;
    m_pRun->StartOrStop(mode);
    if (m_pRun->IsRunning() && !m_bQuit) {
        QEventLoop loop;
        m_pLoop = &loop;
        loop.exec();
        m_pLoop = nullptr;
    }
    m_progress.Clear();
    m_bCompleted = m_pRun->HasCompleted();
    m_bServerFailed = m_bServerFailed || m_pRun->HasServerFailed();
    m_pRun.reset();
    return ExitStatus();
}

void CHeadlessRunner::OnRunStateChanged(bool running) {
    // The loop ends once the step that made the run idle has returned.
    if (!running)
        Quit();
}

void CHeadlessRunner::Quit() {
    m_bQuit = true;
    if (m_pLoop)
        m_pLoop->quit();
}

void CHeadlessRunner::RequestStop(int signal) {
    const bool running = m_pRun && m_pRun->IsRunning();
    // A signal after the run has ended changes nothing.
    if (m_nStopSignal != 0 || (m_pRun && !running))
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

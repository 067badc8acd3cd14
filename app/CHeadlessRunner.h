#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "app/CConsoleArticleList.h"
#include "app/CConsoleLogList.h"
#include "app/CConsoleProgress.h"
#include "app/CStopSignals.h"
#include "engine/INewsConnection.h"
#include "engine/IRunHost.h"

class CExtractionRun;
class CMainApp;
class QEventLoop;

// The headless mode: runs one extraction or catch-up with the console panes on a
// QCoreApplication event loop and turns its outcome into an exit status for cron.
// SIGINT and SIGTERM stop the run as the Stop command does. The logon prompt cannot be
// shown here, so it always counts as cancelled.
class CHeadlessRunner : public IRunHost {
  public:
    // Exit statuses; a stop by signal N gives 128 + N.
    enum ExitCode : int {
        kComplete = 0,       // the run completed and every server answered
        kServerFailed = 1,   // a server failed (connect, login, communication)
        kNothingToDo = 2,    // no servers, or no subscribed group on any server
        kSaveFailed = 3,     // settings or a .newsrc could not be written at exit
        kAlreadyRunning = 4, // another process works on the same program folder
    };
    static constexpr int kSignalBase = 128;

    // `progressLine`: draw the status line on `err` (a terminal of `columns` width).
    CHeadlessRunner(CMainApp& app, NewsConnectionFactory factory, std::ostream& out,
                    std::ostream& err, bool progressLine, std::size_t columns = 80);
    ~CHeadlessRunner() override;
    CHeadlessRunner(const CHeadlessRunner&) = delete;
    CHeadlessRunner& operator=(const CHeadlessRunner&) = delete;

    // Runs an extraction (mode 0) or a catch-up (mode 1) to its end and returns the exit
    // status. Saving at exit is the application's shutdown.
    int Run(int mode);

    // SIGINT or SIGTERM: stops a running run (the partly written file is deleted, the group
    // positions are kept); before the run starts, it keeps the run from starting.
    void RequestStop(int signal);
    // True once a stop was requested; the group-list download takes it as its Cancel.
    bool StopRequested() const;

    // A line among the log list's, from outside the run (the connections' messages).
    void AddLogLine(const std::string& text) { m_logList.AddLine(text); }

    bool LogonPrompt(const std::string& server) override;
    void PostCommand(unsigned id) override;
    void SaveSettings() override;
    void OnRunStateChanged(bool running) override;

  private:
    void Quit();
    int ExitStatus() const;

    CMainApp& m_app;
    NewsConnectionFactory m_factory;
    std::ostream& m_err;
    CConsoleProgress m_progress;
    CConsoleLogList m_logList;
    CConsoleArticleList m_articleList;
    CStopSignals m_stopSignals;
    std::unique_ptr<CExtractionRun> m_pRun;
    QEventLoop* m_pLoop = nullptr;

    int m_nMode = 0;
    int m_nStopSignal = 0;
    bool m_bQuit = false;
    bool m_bCompleted = false;
    bool m_bServerFailed = false;
};

#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "options/CSettings.h"
#include "options/KillRule.h"
#include "platform/CHive.h"
#include "platform/CProfile.h"
#include "platform/SystemSections.h"

class IGroupListHost;

// The application object: brings the program up in its fixed order and takes it down again.
// It holds the settings and the kill rules, which the window and the headless runner share
// with the run they drive. The server tables live in g_serverTables.
class CMainApp {
  public:
    // Problems during start-up and shutdown are reported on `err`.
    explicit CMainApp(std::ostream& err);
    ~CMainApp();
    CMainApp(const CMainApp&) = delete;
    CMainApp& operator=(const CMainApp&) = delete;

    // The group-list download's host, installed for the duration of start-up and shutdown.
    void SetGroupListHost(IGroupListHost* host) { m_pListHost = host; }
    // Without a user to ask (the headless mode), a logon prompt "cancelled" at start-up is a
    // refused login, reported like any other failure instead of passed over in silence.
    void SetInteractive(bool interactive) { m_bInteractive = interactive; }
    // Where the diagnostics file's video figures come from: only a GUI application has a
    // screen, so without a source they are all 0.
    void SetVideoCapsSource(std::function<VideoCaps()> source) { m_videoCaps = std::move(source); }

    // Where problems are told: by default a line on `err`; the window shows a message box.
    using ProblemReporter = std::function<void(const std::string& message)>;
    void SetProblemReporter(ProblemReporter report) { m_report = std::move(report); }

    // Start-up in one go (the headless mode): the steps below in their order.
    void InitInstance(int debugLevel);
    // The steps of start-up, for a host that does more between them (the window):
    // the hive and the settings migration;
    void InitProfile();
    // `debugLevel` from the command line and the diagnostics file;
    void InitDiagnostics(int debugLevel);
    // the server tables (a server without a .newsrc has its group list downloaded);
    void LoadServerTables();
    // the settings and the kill file.
    void LoadOptions();

    // Saves settings and the kill file, then the hive (the frame's SaveSettings with save).
    // False when something could not be written (reported).
    bool SaveSettings();
    // Shutdown: settings and kill file, every .newsrc with backup, the hive, diagnostics.
    // False when something could not be written (each failure is reported on `err`).
    bool ExitInstance();

    CHive& Hive() { return m_hive; }
    CProfile& Profile() { return m_profile; }
    CSettings& Settings() { return m_settings; }
    std::vector<KillRule>& KillRules() { return m_killRules; }
    const std::string& ProgramFolderPath() const { return m_strProgramFolder; }
    bool HasStarted() const { return m_bStarted; }
    // Some server's newsgroups could not be read at start-up (other than a cancelled logon).
    bool HasLoadFailures() const { return m_bLoadFailed; }

  private:
    void RemoveLeftovers();
    void Report(const std::string& message);
    void ReportLoadFailure(const std::string& server, const std::string& reason);
    bool SaveServerTables();
    bool SaveHive();

    std::ostream& m_err;
    ProblemReporter m_report;
    std::function<VideoCaps()> m_videoCaps;
    IGroupListHost* m_pListHost = nullptr;
    std::string m_strProgramFolder;
    std::string m_strKillFilePath;
    CHive m_hive;
    CProfile m_profile{m_hive};
    CSettings m_settings;
    std::vector<KillRule> m_killRules;
    bool m_bKillFileUnreadable = false;
    bool m_bStarted = false;
    bool m_bSaveFailed = false;
    bool m_bLoadFailed = false;
    bool m_bInteractive = true;
};

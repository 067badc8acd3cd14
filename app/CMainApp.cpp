#include "app/CMainApp.h"

#include <exception>

#include "app/SettingsMigration.h"
#include "app/SystemInformation.h"
#include "engine/OutputFile.h"
#include "options/CAtomicFileWriter.h"
#include "options/CKillFile.h"
#include "platform/CStringTable.h"
#include "platform/ConnectionErrors.h"
#include "platform/Diagnostics.h"
#include "platform/ProgramFolder.h"
#include "platform/StringIds.h"
#include "servers/CGroupTable.h"
#include "servers/CServerRecord.h"

CMainApp::CMainApp(std::ostream& err)
    : m_err(err), m_strProgramFolder(ProgramFolder()),
      m_strKillFilePath(m_strProgramFolder + CKillFile::kFileName) {}

CMainApp::~CMainApp() {
    CGroupTable::SetListHost(nullptr);
}

void CMainApp::InitInstance(int debugLevel) {
    InitProfile();
    InitDiagnostics(debugLevel);
    LoadServerTables();
    LoadOptions();
    RemoveLeftovers();
}

// A process killed while it wrote a file leaves a temporary file behind; only names made by
// our own writers are removed.
void CMainApp::RemoveLeftovers() {
    CHive::RemoveLeftovers(HiveFilePath());
    CAtomicFileWriter::RemoveLeftovers(m_strKillFilePath);
    for (const std::unique_ptr<CGroupTable>& table : g_serverTables)
        CAtomicFileWriter::RemoveLeftovers(table->GetNewsrcPath());
    OutputFile::RemoveLeftovers(m_settings.m_DecodeDir);
}

void CMainApp::InitProfile() {
    m_bStarted = true;
    // An unreadable hive is set aside and reported by the store itself; start-up goes on
    // with an empty one.
    m_hive.Load(HiveFilePath());
    MigrateSettings(m_profile);
}

void CMainApp::InitDiagnostics(int debugLevel) {
    g_nDebugLevel = debugLevel;
    // Creates the diagnostics file when a level is set; switches diagnostics off when it
    // cannot be created.
    WriteSystemInformation(m_videoCaps ? m_videoCaps() : VideoCaps{});
    WriteSocketInformation();
}

void CMainApp::LoadOptions() {
    m_settings.Load(m_profile);
    std::string error;
    if (!CKillFile::Read(m_strKillFilePath, m_killRules, &error)) {
        // Its rules are the user's: it is left as it is for this process.
        m_bKillFileUnreadable = true;
        Report("Unable to read the kill rules from " + m_strKillFilePath + ": " + error +
               "; the file is left as it is");
    }
}

void CMainApp::LoadServerTables() {
    CGroupTable::SetListHost(m_pListHost);
    for (const std::string& name : CServerRecord::Enumerate(m_hive)) {
        // A record edited by hand may carry a name that would put its .newsrc elsewhere.
        if (!CServerRecord::IsValidName(name)) {
            ReportLoadFailure(name, "the name cannot be a file name; the record is left out");
            continue;
        }
        auto table = std::make_unique<CGroupTable>(m_profile, name);
        try {
            table->Load();
        } catch (const CUserCancelException&) {
            // The user chose not to log in; nothing to report.
            if (!m_bInteractive)
                ReportLoadFailure(name, "the server refused the stored login");
        } catch (const std::exception& e) {
            ReportLoadFailure(name, e.what());
        }
        // A table whose load failed stays, so the server is still listed.
        g_serverTables.push_back(std::move(table));
    }
}

void CMainApp::Report(const std::string& message) {
    if (m_report) {
        m_report(message);
        return;
    }
    m_err << message << '\n' << std::flush;
}

void CMainApp::ReportLoadFailure(const std::string& server, const std::string& reason) {
    m_bLoadFailed = true;
    Report(CStringTable::Format(ids::kUnableToAccessNewsgroups, server) + "\n  " + reason);
}

bool CMainApp::SaveSettings() {
    m_settings.Save(m_profile);
    bool saved = true;
    std::string error;
    if (!m_bKillFileUnreadable && !CKillFile::Write(m_strKillFilePath, m_killRules, &error)) {
        // The rules stay in memory; the next save tries again.
        Report("Unable to save the kill rules to " + m_strKillFilePath + ": " + error);
        m_bSaveFailed = true;
        saved = false;
    }
    return SaveHive() && saved;
}

bool CMainApp::ExitInstance() {
    if (m_bStarted) {
        SaveSettings();
        SaveServerTables();
        SaveHive();
    }
    g_serverTables.clear();
    CloseSystemInformation();
    CGroupTable::SetListHost(nullptr);
    m_bStarted = false;
    return !m_bSaveFailed;
}

bool CMainApp::SaveServerTables() {
    bool saved = true;
    for (const auto& table : g_serverTables) {
        try {
            table->Save();
        } catch (const std::exception& e) {
            // The other servers are still written.
            Report("Unable to save " + table->GetNewsrcPath() + ": " + e.what());
            saved = false;
        }
    }
    m_bSaveFailed = m_bSaveFailed || !saved;
    return saved;
}

bool CMainApp::SaveHive() {
    if (m_hive.Save())
        return true;
    Report("Unable to save the settings to " + m_hive.Path() + ": " + m_hive.LastError());
    m_bSaveFailed = true;
    return false;
}

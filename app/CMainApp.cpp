#include "app/CMainApp.h"

#include <exception>

#include "app/ConsoleText.h"
#include "app/SettingsMigration.h"
#include "app/SystemInformation.h"
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
    m_bStarted = true;
    // An unreadable hive is set aside and reported by the store itself; start-up goes on
    // with an empty one.
    m_hive.Load(HiveFilePath());
    MigrateSettings(m_profile);
    g_nDebugLevel = debugLevel;
    // Creates the diagnostics file when a level is set; switches diagnostics off when it
    // cannot be created.
    WriteSystemInformation(m_videoCaps ? m_videoCaps() : VideoCaps{});
    WriteSocketInformation();
    CGroupTable::SetListHost(m_pListHost);
    LoadServerTables();
    m_settings.Load(m_profile);
    CKillFile::Read(m_strKillFilePath, m_killRules);
}

void CMainApp::LoadServerTables() {
    for (const std::string& name : CServerRecord::Enumerate(m_hive)) {
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

void CMainApp::ReportLoadFailure(const std::string& server, const std::string& reason) {
    m_bLoadFailed = true;
    m_err << CStringTable::Format(ids::kUnableToAccessNewsgroups, server) << '\n'
          << "  " << reason << '\n'
          << std::flush;
}

void CMainApp::SaveSettings() {
    m_settings.Save(m_profile);
    CKillFile::Write(m_strKillFilePath, m_killRules);
    SaveHive();
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
            table->Save(true);
        } catch (const std::exception& e) {
            // The other servers are still written.
            m_err << "Unable to save " << table->GetNewsrcPath() << ": " << e.what() << '\n'
                  << std::flush;
            saved = false;
        }
    }
    m_bSaveFailed = m_bSaveFailed || !saved;
    return saved;
}

bool CMainApp::SaveHive() {
    if (m_hive.Save())
        return true;
    m_err << "Unable to save the settings to " << m_hive.Path() << ": " << m_hive.LastError()
          << '\n'
          << std::flush;
    m_bSaveFailed = true;
    return false;
}

void CMainApp::PrintSummary(std::ostream& out) const {
    if (g_serverTables.empty())
        out << "No news servers are configured.\n";
    for (const auto& table : g_serverTables) {
        std::size_t subscribed = 0;
        for (std::size_t i = 0; i < table->GetCount(); ++i)
            subscribed += table->GetAt(i).subscribed ? 1 : 0;
        out << "Server " << ConsoleText(table->m_strName) << ": " << table->GetCount()
            << " groups, " << subscribed << " subscribed\n";
        for (std::size_t i = 0; i < table->GetCount(); ++i) {
            const GroupRecord& group = table->GetAt(i);
            if (!group.subscribed)
                continue;
            out << "  " << ConsoleText(group.name) << ": next article " << group.last;
            if (!group.pending.empty())
                out << ", " << group.pending.size() << " pending";
            out << '\n';
        }
    }
    out << "Decode folder: " << m_settings.m_DecodeDir << '\n'
        << "Kill rules: " << m_killRules.size() << '\n'
        << std::flush;
}

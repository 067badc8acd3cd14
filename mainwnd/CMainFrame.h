#pragma once

#include <QMainWindow>
#include <QRect>

#include <memory>
#include <set>
#include <string>

#include "engine/INewsConnection.h"
#include "engine/IRunHost.h"

class CCommandTable;
class CExtractionRun;
class CMainApp;
class CMainStatusBar;
class COutputList;
class COutputWindow;
class CSplit2;
class CStatusWnd;
class QMenu;
class QSplitter;
class QToolBar;

// The program's one top-level window: menus, toolbar and status bar built from the command
// table, the log list and progress panel above the article list, and the extraction run,
// which it owns and drives. It is the run's host: the run tells it when it starts and ends.
class CMainFrame : public QMainWindow, public IRunHost {
    Q_OBJECT
  public:
    // Command IDs.
    enum : unsigned {
        kServers = 32772,
        kNewsgroups = 32779,
        kExtract = 32781,
        kOptions = 32782,
        kKills = 32785,
        kCatchUpGroups = 32786,
        kCatchUpCurrentGroup = 32788,
        kKillAuthor = 32791,
        kKillSubject = 32792,
        kKillFilename = 32793,
        kAbout = 57664,
        kExit = 57665,
        kHelpTopics = 57667,
        kContextHelp = 57669,
        kViewToolbar = 59392,
        kViewStatusBar = 59393,
    };

    // Builds the window (hidden) and shows the splash over it.
    CMainFrame(CMainApp& app, NewsConnectionFactory factory);
    ~CMainFrame() override;

    // Shows the window with the stored show state and normal rectangle.
    bool RestorePlacement();
    // Posts the Extract command when `force` is set or "Auto Start Extract" is on.
    bool RequestAutoStart(bool force);
    // The window's own values (placement, bars, splitters, column widths): load reads them
    // from the profile; save writes them there and then saves every setting and the kill file.
    void SaveSettings(bool load);
    // Writes the window's own values into the profile only (at close; the shutdown saves).
    void SaveWindowValues();

    COutputList* GetLogList() const { return m_pLogList; }
    CStatusWnd* GetStatusWnd() const { return m_pStatusWnd; }
    COutputWindow* GetArticleList() const { return m_pArticleList; }
    CMainStatusBar* GetStatusBar() const { return m_pStatusBar; }
    QToolBar* GetToolBar() const { return m_pToolBar; }
    CCommandTable& Commands() const { return *m_pCommands; }
    CExtractionRun& Run() const { return *m_pRun; }

    // A problem the user must hear of, as a message box (each text once per process).
    void ReportProblem(const std::string& message);

    bool LogonPrompt(const std::string& server) override;
    void PostCommand(unsigned id) override;
    void SaveSettings() override;
    void OnRunStateChanged(bool running) override;

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;

  private:
    void CreateCommands();
    void CreateMenus();
    void CreateToolBar();
    void CreatePanes();
    void SetHelpTopics();
    void WatchMenu(QMenu* menu);
    void ToggleRun(int mode);
    void AddKillRule(int field);
    void ShowNewsgroups();
    void ShowServers();
    void ShowKillFile();
    void ShowOptions();
    // After a dialog: every setting, then the .newsrc of the server the last run used (found
    // by name, so a table a dialog replaced or removed is never reached through a stale
    // pointer).
    void SaveAfterDialog();
    bool IsRunning() const;
    void ExchangeWindowValues(bool load);
    void ExchangePlacement(bool load);
    void ExchangeBars(bool load);
    void ExchangeSplitter(bool load);
    QRect DefaultNormalRect() const;

    CMainApp& m_app;
    CCommandTable* m_pCommands = nullptr;
    CMainStatusBar* m_pStatusBar = nullptr;
    QToolBar* m_pToolBar = nullptr;
    QSplitter* m_pSplitter = nullptr;
    CSplit2* m_pSplit2 = nullptr;
    COutputList* m_pLogList = nullptr;
    CStatusWnd* m_pStatusWnd = nullptr;
    COutputWindow* m_pArticleList = nullptr;
    QMenu* m_pKillMenu = nullptr;
    std::unique_ptr<CExtractionRun> m_pRun;
    std::set<std::string> m_reported;

    // The normal rectangle (left, top, right, bottom) and show command as stored.
    QRect m_rcNormal;
    uint32_t m_uShow = 3;
    int m_nSplitTop = 0; // applied once the window has its size
};

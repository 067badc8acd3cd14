#include "mainwnd/WindowMain.h"

#include <QApplication>
#include <QMessageBox>

#include <iostream>
#include <memory>

#include "app/CHeadlessRunner.h"
#include "app/CMainApp.h"
#include "app/CRunLock.h"
#include "app/CStopSignals.h"
#include "app/CommandLine.h"
#include "app/gui/CUpdateCheck.h"
#include "mainwnd/CMainFrame.h"
#include "mainwnd/COutputList.h"
#include "mainwnd/CSingleInstance.h"
#include "mainwnd/CSplashWindow.h"
#include "mainwnd/ScreenVideoCaps.h"
#include "nntp/CCertificatePrompt.h"
#include "nntp/CGroupListHost.h"
#include "nntp/CLogonPrompt.h"
#include "nntp/CNewsConnection.h"
#include "nntp/gui/CCertificateDialog.h"
#include "nntp/gui/CLogonDialog.h"
#include "platform/CStringTable.h"
#include "platform/StringIds.h"
#include "servers/gui/CGroupDownloadDlg.h"

namespace {

// A problem told without the main window (before it exists, or after it is gone).
void ShowError(const std::string& message) {
    QMessageBox::critical(nullptr,
                          QString::fromStdString(CStringTable::Load(ids::kApplicationName)),
                          QString::fromStdString(message));
}

} // namespace

int RunWindow(const CMainCommandLineInfo& commandLine, int& argc, char** argv,
              const WindowStartedHook& started) {
    QApplication qtApp(argc, argv);
    QApplication::setApplicationName(
        QString::fromStdString(CStringTable::Load(ids::kApplicationName)));
    // Lets the desktop match the windows to the installed menu entry and its icon.
    QApplication::setDesktopFileName(QStringLiteral("com.hollowfen.Gleanwick"));

    // A second instance only brings the first one forward: nothing loaded, nothing written.
    CSingleInstance instance;
    if (instance.HandOverToRunningInstance())
        return 0;

    CMainApp app(std::cerr);
    const CRunLock lock(app.ProgramFolderPath() + CRunLock::kFileName);
    if (lock.IsBusy()) {
        ShowError(CRunLock::BusyMessage(app.ProgramFolderPath()));
        return CHeadlessRunner::kAlreadyRunning;
    }
    app.InitProfile();
    app.SetVideoCapsSource(ScreenVideoCaps);
    app.InitDiagnostics(commandLine.m_nDebugLevel);
    CSplashWindow::EnableSplashScreen(commandLine.m_bShowSplash);

    const NewsConnectionFactory factory = [&app](const std::string& server,
                                                 CSocketOwnerWnd& owner) {
        return std::make_unique<CNewsConnection>(server, app.Profile(), &owner);
    };
    auto frame = std::make_unique<CMainFrame>(app, factory);
    app.SetProblemReporter([&frame](const std::string& message) { frame->ReportProblem(message); });
    instance.Listen([&frame] {
        frame->raise();
        frame->activateWindow();
    });
    CLogonPrompt::Install(
        [&frame](std::string& account, std::string& password, const std::string& server) {
            return CLogonDialog::Ask(account, password, server, frame.get());
        });
    CCertificatePrompt::Install([&frame](const CertificateDetails& details) {
        return CCertificateDialog::Ask(details, frame.get());
    });
    CCertificatePrompt::InstallReporter(
        [&frame](const std::string& message) { frame->GetLogList()->AddLine(message); });
    CGroupListHost listHost(app.Profile());
    listHost.SetProgressFactory([&frame](const std::string& server) {
        return std::make_unique<CGroupDownloadDlg>(server, frame.get());
    });
    listHost.SetEnableMainWindow([&frame](bool enable) { frame->setEnabled(enable); });
    app.SetGroupListHost(&listHost);

    CheckForUpdate(app.Profile(), frame.get());
    app.LoadServerTables();
    app.LoadOptions();
    frame->SaveSettings(true);
    frame->RestorePlacement();
    frame->RequestAutoStart(commandLine.m_bStart);
    if (started)
        started(*frame);

    // SIGINT and SIGTERM close the window as File > Exit does: the run stops, all is saved.
    const CStopSignals stopSignals([&frame](int) { frame->close(); });
    const int loopStatus = QApplication::exec();
    frame.reset();
    app.SetProblemReporter(ShowError);
    CLogonPrompt::Install(nullptr);
    CCertificatePrompt::Install(nullptr);
    CCertificatePrompt::InstallReporter(nullptr);
    const bool saved = app.ExitInstance();
    app.SetGroupListHost(nullptr);
    if (loopStatus != 0)
        return loopStatus;
    return saved ? 0 : CHeadlessRunner::kSaveFailed;
}

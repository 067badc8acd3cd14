#include <QCoreApplication>

#include <csignal>
#include <iostream>
#include <memory>
#include <sys/ioctl.h>
#include <unistd.h>

#include "app/CConsoleGroupProgress.h"
#include "app/CHeadlessRunner.h"
#include "app/CMainApp.h"
#include "app/CRunLock.h"
#include "app/CommandLine.h"
#include "mainwnd/WindowMain.h"
#include "nntp/CCertificatePrompt.h"
#include "nntp/CGroupListHost.h"
#include "nntp/CNewsConnection.h"
#include "platform/CStringTable.h"
#include "platform/StringIds.h"

namespace {

std::size_t TerminalColumns() {
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

// One extraction or catch-up without a display; the exit status tells cron how it went.
int RunHeadless(const CMainCommandLineInfo& commandLine, CMainApp& app, CGroupListHost& listHost,
                bool terminal) {
    // A closed pipe on standard output must not kill the run before it saves.
    std::signal(SIGPIPE, SIG_IGN);
    const NewsConnectionFactory factory = [&app](const std::string& server,
                                                 CSocketOwnerWnd& owner) {
        return std::make_unique<CNewsConnection>(server, app.Profile(), &owner);
    };
    CHeadlessRunner runner(app, factory, std::cout, std::cerr, terminal, TerminalColumns());
    listHost.SetProgressFactory([&runner, terminal](const std::string& server) {
        return std::make_unique<CConsoleGroupProgress>(
            std::cerr, terminal, server, [&runner] { return runner.StopRequested(); });
    });
    // No question can be asked here: a certificate that fails verification is refused, and
    // the message, printed with the log lines, says how to trust it.
    CCertificatePrompt::InstallReporter(
        [&runner](const std::string& message) { runner.AddLogLine(message); });
    app.SetInteractive(false);
    app.InitInstance(commandLine.m_nDebugLevel);
    int status = runner.Run(commandLine.m_bCatchUp ? 1 : 0);
    if (!app.ExitInstance() && status == CHeadlessRunner::kComplete)
        status = CHeadlessRunner::kSaveFailed;
    CCertificatePrompt::InstallReporter(nullptr);
    return status;
}

// Qt's own event dispatcher does not wake itself through a pipe each time a socket notifier
// is switched on or off, which the connection does for every read. Only the GTK platform
// theme needs the GLib main loop (its native dialogs run in it), and never without a display.
void PreferQtEventDispatcher(bool headless) {
    if (qEnvironmentVariableIsSet("QT_NO_GLIB"))
        return;
    if (!headless && qEnvironmentVariable("QT_QPA_PLATFORMTHEME")
                         .contains(QLatin1String("gtk"), Qt::CaseInsensitive))
        return;
    qputenv("QT_NO_GLIB", "1");
}

} // namespace

int main(int argc, char** argv) {
    const CMainCommandLineInfo commandLine = CMainCommandLineInfo::Parse(argc, argv);
    PreferQtEventDispatcher(commandLine.m_bHeadless);
    if (!commandLine.m_bHeadless)
        return RunWindow(commandLine, argc, argv);
    QCoreApplication qtApp(argc, argv);
    QCoreApplication::setApplicationName(
        QString::fromStdString(CStringTable::Load(ids::kApplicationName)));

    CMainApp app(std::cerr);
    // Nothing is loaded, and so nothing saved, while another process works on the same files.
    const CRunLock lock(app.ProgramFolderPath() + CRunLock::kFileName);
    if (lock.IsBusy()) {
        std::cerr << CRunLock::BusyMessage(app.ProgramFolderPath()) << '\n';
        return CHeadlessRunner::kAlreadyRunning;
    }
    CGroupListHost listHost(app.Profile());
    app.SetGroupListHost(&listHost);
    return RunHeadless(commandLine, app, listHost, isatty(STDERR_FILENO) != 0);
}

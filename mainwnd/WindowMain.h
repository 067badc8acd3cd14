#pragma once

#include <functional>

class CMainCommandLineInfo;
class CMainFrame;

// Called once the main window is shown and before the event loop runs: a driver that works
// the window as a user would (the end-to-end tests) starts there.
using WindowStartedHook = std::function<void(CMainFrame& frame)>;

// The program with its window: start-up in its fixed order, the event loop, shutdown.
// Returns the process's exit status.
int RunWindow(const CMainCommandLineInfo& commandLine, int& argc, char** argv,
              const WindowStartedHook& started = {});

#pragma once

class CMainCommandLineInfo;

// The program with its window: start-up in its fixed order, the event loop, shutdown.
// Returns the process's exit status.
int RunWindow(const CMainCommandLineInfo& commandLine, int& argc, char** argv);

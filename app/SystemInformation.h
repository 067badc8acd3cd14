#pragma once

#include "platform/SystemSections.h"

// The start-up sections of the diagnostics file that need Qt: the screen and the socket layer.
// The screen's figures come from the caller, since only a GUI application has a screen.

// Start-up, after the command line: when g_nDebugLevel >= 1, creates the diagnostics file
// (GLEANWICK.DBG in the program folder) and writes the system and video sections. When the file
// cannot be created, g_nDebugLevel becomes 0 and start-up goes on.
void WriteSystemInformation(const VideoCaps& video = {});
// Start-up, once the socket layer is available: when the file is open and g_nDebugLevel >= 1,
// the socket section and the "Program Output:" header.
void WriteSocketInformation();
// Shutdown: closes the diagnostics file when it was opened.
void CloseSystemInformation();

// Qt Network as the socket layer.
SocketInformation CurrentSocketInformation();

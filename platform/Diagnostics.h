#pragma once

#include <string>

// Diagnostics file (GLEANWICK.DBG in the program folder). 0 = off, 1..5 detail levels.
extern int g_nDebugLevel;

// printf-style; a message longer than 999 characters is cut to 999.
void DebugPrint(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Writes and flushes when g_nDebugLevel >= level.
void DebugTrace(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));
// Writes without flushing when g_nDebugLevel == level.
void DebugTraceExact(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));

// GLEANWICK.DBG in the program folder.
std::string DiagnosticsFilePath();
// Creates the file anew (an old one is truncated) for this process, mode 0600 because traces
// may hold account names. False when it cannot be created or another running instance holds
// it; writes then go nowhere. Reopening closes the previous file first.
bool OpenDiagnosticsFile(const std::string& path = DiagnosticsFilePath());
// Flushes and closes the file; nothing when it is not open.
void CloseDiagnosticsFile();
bool IsDiagnosticsFileOpen();

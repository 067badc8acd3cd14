#pragma once

#include <chrono>

// Rows that arrive within this time are painted together (and the log list's are laid out
// together): long enough to gather the rows of many network reads, short enough to look
// immediate.
inline constexpr std::chrono::milliseconds kPaneRefreshInterval{100};

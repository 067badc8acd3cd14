#pragma once

#include <string>
#include <string_view>
#include <vector>

// The program's command-line record. A parameter that begins with "/" or "-" is a switch and
// is handled without that first character:
//   "debug:<n>"  diagnostics level n (case-sensitive prefix; leading blanks and a sign
//                allowed, digits up to the first other character, none gives 0)
//   "start..."   the start switch (case-sensitive prefix)
//   "headless"   run without a window (exact)
//   "catchup"    in headless mode, catch up instead of extracting (exact)
//   "Embedding", "Automation" (any case): no splash window
// Everything else is kept in m_others and otherwise ignored. Parsing has no side effects:
// the caller copies m_nDebugLevel into g_nDebugLevel.
class CMainCommandLineInfo {
  public:
    // Parses argv[1] to argv[argc - 1].
    static CMainCommandLineInfo Parse(int argc, const char* const* argv);
    static CMainCommandLineInfo Parse(const std::vector<std::string>& parameters);

    // One parameter; a switch arrives without its "/" or "-". False when nothing acts on it.
    bool ParseParam(std::string_view param, bool isSwitch);

    int m_nDebugLevel = 0;
    bool m_bStart = false;
    bool m_bHeadless = false;
    bool m_bCatchUp = false;
    bool m_bShowSplash = true;
    std::vector<std::string> m_others; // parameters acted on by nobody, as given
};

// The decimal number at the start of text as the C library's atoi reads it, but clamped to the
// int range instead of overflowing.
int ParseDecimal(std::string_view text);

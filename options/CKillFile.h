#pragma once

#include <string>
#include <vector>

#include "options/KillRule.h"

// The kill file "Gleanwick.killfile": one rule per line, "<field>,<pattern>".
class CKillFile {
  public:
    static constexpr const char* kFileName = "Gleanwick.killfile";

    // Appends the file's rules to `rules` in file order; a missing file adds nothing. Lines
    // without a field code are skipped. False, with the reason in `error`, when the file
    // exists but cannot be read: it must then not be replaced.
    static bool Read(const std::string& path, std::vector<KillRule>& rules,
                     std::string* error = nullptr);
    // Replaces the file with the rules in list order; false when it cannot be written
    // (the old file then stays as it was). A line feed in a pattern, and a carriage return at
    // its end, which a line of the file cannot hold, are written as the wildcard '?'.
    static bool Write(const std::string& path, const std::vector<KillRule>& rules,
                      std::string* error = nullptr);
};

#pragma once

#include <string>
#include <vector>

#include "options/KillRule.h"

// The kill file "Gleanwick.killfile": one rule per line, "<field>,<pattern>".
class CKillFile {
  public:
    static constexpr const char* kFileName = "Gleanwick.killfile";

    // Appends the file's rules to `rules` in file order; a file that cannot be opened
    // adds nothing. Lines without a field code are skipped.
    static void Read(const std::string& path, std::vector<KillRule>& rules);
    // Replaces the file with the rules in list order; false when it cannot be written
    // (the old file then stays as it was).
    static bool Write(const std::string& path, const std::vector<KillRule>& rules,
                      std::string* error = nullptr);
};

#pragma once

#include <cstdint>
#include <string>

// A kill rule: field 0 author, 1 subject, 2 file name; pattern with '*' and '?'.
struct KillRule {
    int32_t field = 0;
    std::string pattern;

    bool operator==(const KillRule&) const = default;
};

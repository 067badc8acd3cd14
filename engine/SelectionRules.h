#pragma once

#include "options/KillRule.h"
#include "options/MimeActionEntry.h"

#include <cstdint>
#include <string_view>
#include <vector>

// '*' matches any run of bytes, '?' any one byte, every other byte itself (case-sensitive); the
// whole value must match. Iterative: at most pattern length x value length steps.
bool WildcardMatch(std::string_view pattern, std::string_view value);

// The first rule for this field whose pattern matches the value, or nullptr.
const KillRule* FindKillRule(const std::vector<KillRule>& rules, int32_t field,
                             std::string_view value);

// The action for a content type: the first row naming the full type, else the first row naming
// its major type (both ignoring ASCII letter case), else 0 (ignore). An empty type gives 0.
uint32_t MimeAction(const std::vector<MimeActionEntry>& table, std::string_view contentType);

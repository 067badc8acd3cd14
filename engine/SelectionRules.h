#pragma once

#include "options/KillRule.h"
#include "options/MimeActionEntry.h"

#include <cstdint>
#include <string_view>
#include <vector>

// '*' matches any run of bytes, '?' any one byte; everything else matches itself
// case-insensitively. Linear in practice, never recursive, whatever the pattern.
bool WildcardMatch(std::string_view pattern, std::string_view value);

// The first rule for this field whose pattern matches the value, or nullptr.
const KillRule* FindKillRule(const std::vector<KillRule>& rules, int32_t field,
                             std::string_view value);

// The action for a content type: the full type's entry, else the major type's, else extract.
uint32_t MimeAction(const std::vector<MimeActionEntry>& table, std::string_view contentType);

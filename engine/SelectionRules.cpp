#include "engine/SelectionRules.h"

namespace {

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    }
    return true;
}

const MimeActionEntry* FindMimeRow(const std::vector<MimeActionEntry>& table,
                                   std::string_view type) {
    for (const MimeActionEntry& row : table) {
        if (EqualsIgnoringCase(row.type, type))
            return &row;
    }
    return nullptr;
}

} // namespace

bool WildcardMatch(std::string_view pattern, std::string_view value) {
    size_t p = 0;
    size_t v = 0;
    // Where the rest of the pattern after the latest '*' was last tried; a mismatch retries it
    // one value character further. Earlier stars never need revisiting: the latest one can
    // absorb whatever an earlier one could.
    size_t starPattern = std::string_view::npos;
    size_t starValue = 0;
    while (v < value.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starPattern = ++p;
            starValue = v;
        } else if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == value[v])) {
            ++p;
            ++v;
        } else if (starPattern != std::string_view::npos) {
            p = starPattern;
            v = ++starValue;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

const KillRule* FindKillRule(const std::vector<KillRule>& rules, int32_t field,
                             std::string_view value) {
    for (const KillRule& rule : rules) {
        if (rule.field == field && WildcardMatch(rule.pattern, value))
            return &rule;
    }
    return nullptr;
}

uint32_t MimeAction(const std::vector<MimeActionEntry>& table, std::string_view contentType) {
    if (contentType.empty())
        return 0;
    if (const MimeActionEntry* row = FindMimeRow(table, contentType))
        return row->action;
    const size_t slash = contentType.find('/');
    if (slash == std::string_view::npos)
        return 0;
    // The whole major type is compared, however long.
    if (const MimeActionEntry* row = FindMimeRow(table, contentType.substr(0, slash)))
        return row->action;
    return 0;
}

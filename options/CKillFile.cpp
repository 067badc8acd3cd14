#include "options/CKillFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string_view>

#include "options/CAtomicFileWriter.h"

namespace {

// A decimal prefix with optional blanks and sign, as in "2" or " -1x"; none when the
// text holds no digit there.
std::optional<int32_t> ParseFieldCode(std::string_view text) {
    std::size_t i = text.find_first_not_of(" \t");
    if (i == std::string_view::npos) {
        return std::nullopt;
    }
    bool negative = false;
    if (text[i] == '+' || text[i] == '-') {
        negative = text[i] == '-';
        ++i;
    }
    if (i >= text.size() || text[i] < '0' || text[i] > '9') {
        return std::nullopt;
    }
    // The magnitude saturates one past INT32_MAX, so that INT32_MIN itself is reachable.
    constexpr int64_t kLimit = int64_t{INT32_MAX} + 1;
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = std::min(value * 10 + (text[i] - '0'), kLimit);
    }
    return static_cast<int32_t>(negative ? -value : std::min<int64_t>(value, INT32_MAX));
}

// "<field>,<pattern>": leading commas are skipped; the pattern is everything after the
// comma that ends the field piece and may contain commas itself.
std::optional<KillRule> ParseRuleLine(std::string_view line) {
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    const std::size_t begin = line.find_first_not_of(',');
    if (begin == std::string_view::npos) {
        return std::nullopt;
    }
    const std::size_t comma = line.find(',', begin);
    const auto field = ParseFieldCode(line.substr(begin, comma - begin));
    if (!field) {
        return std::nullopt;
    }
    KillRule rule;
    rule.field = *field;
    if (comma != std::string_view::npos) {
        rule.pattern = line.substr(comma + 1);
    }
    return rule;
}

// The pattern as one line of the file can hold it: a line feed would end the rule there and
// make a rule of the rest, and a carriage return at the end is taken for part of the line end
// when read. Both become '?', so the rule read back still kills what it killed.
std::string StorablePattern(std::string pattern) {
    std::replace(pattern.begin(), pattern.end(), '\n', '?');
    if (!pattern.empty() && pattern.back() == '\r') {
        pattern.back() = '?';
    }
    return pattern;
}

} // namespace

bool CKillFile::Read(const std::string& path, std::vector<KillRule>& rules, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open() && errno == ENOENT)
        return true;
    std::string line;
    while (std::getline(in, line)) {
        if (auto rule = ParseRuleLine(line)) {
            rules.push_back(std::move(*rule));
        }
    }
    if (in.is_open() && !in.bad())
        return true;
    if (error)
        *error = std::strerror(errno);
    return false;
}

bool CKillFile::Write(const std::string& path, const std::vector<KillRule>& rules,
                      std::string* error) {
    try {
        CAtomicFileWriter writer(path);
        for (const KillRule& rule : rules) {
            writer.Write(std::to_string(rule.field) + "," + StorablePattern(rule.pattern) + "\n");
        }
        writer.Commit();
        return true;
    } catch (const std::runtime_error& e) {
        if (error)
            *error = e.what();
        return false;
    }
}

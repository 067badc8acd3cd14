#include "options/CKillFile.h"

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
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value < INT32_MAX ? value * 10 + (text[i] - '0') : value;
    }
    value = value > INT32_MAX ? INT32_MAX : value;
    return static_cast<int32_t>(negative ? -value : value);
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
            writer.Write(std::to_string(rule.field) + "," + rule.pattern + "\n");
        }
        writer.Commit();
        return true;
    } catch (const std::runtime_error& e) {
        if (error)
            *error = e.what();
        return false;
    }
}

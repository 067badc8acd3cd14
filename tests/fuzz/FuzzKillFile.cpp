// The kill file, both ways round:
// - the input as a kill file: the rules read follow a reference reading of each line (field
//   code by strtoll, pattern after the comma that ends the code), are written in the file's
//   layout, and read back as written;
// - the input as a list of rules (pieces split at NUL: a field code, then the pattern, which
//   may hold any byte): what is written reads back as the same rules.
// A line feed, and a carriage return at a pattern's end, cannot be held by the file as they
// are: they are stored as the one-character wildcard '?'.
#include "options/CKillFile.h"
#include "tests/fuzz/FuzzSupport.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

using fuzz::Check;

std::optional<int32_t> ReferenceField(std::string_view piece) {
    while (!piece.empty() && (piece[0] == ' ' || piece[0] == '\t'))
        piece.remove_prefix(1);
    const bool sign = !piece.empty() && (piece[0] == '+' || piece[0] == '-');
    size_t digits = sign ? 1 : 0;
    if (digits >= piece.size() || piece[digits] < '0' || piece[digits] > '9')
        return std::nullopt;
    while (digits + 1 < piece.size() && piece[digits] == '0')
        ++digits; // leading zeros say nothing and would only make the copy long
    size_t end = digits;
    while (end < piece.size() && piece[end] >= '0' && piece[end] <= '9')
        ++end;
    // strtoll saturates long runs by itself; 30 digits are past any 64-bit value.
    std::string copy = sign ? std::string(1, piece[0]) : std::string();
    copy += piece.substr(digits, std::min<size_t>(end - digits, 30));
    const long long value = std::strtoll(copy.c_str(), nullptr, 10);
    return static_cast<int32_t>(std::clamp<long long>(value, INT32_MIN, INT32_MAX));
}

std::vector<KillRule> ReferenceRead(std::string_view text) {
    std::vector<KillRule> rules;
    for (std::string_view line : fuzz::SplitLines(text)) {
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        const size_t begin = line.find_first_not_of(',');
        if (begin == std::string_view::npos)
            continue;
        const size_t comma = line.find(',', begin);
        const auto field = ReferenceField(line.substr(begin, comma - begin));
        if (!field)
            continue;
        rules.push_back(KillRule{
            *field, comma == std::string_view::npos ? "" : std::string(line.substr(comma + 1))});
    }
    return rules;
}

std::string Layout(const std::vector<KillRule>& rules) {
    std::string text;
    for (const KillRule& rule : rules)
        text += std::to_string(rule.field) + "," + rule.pattern + "\n";
    return text;
}

std::vector<KillRule> AsStored(std::vector<KillRule> rules) {
    for (KillRule& rule : rules) {
        std::replace(rule.pattern.begin(), rule.pattern.end(), '\n', '?');
        if (rule.pattern.ends_with('\r'))
            rule.pattern.back() = '?';
    }
    return rules;
}

std::vector<KillRule> Read(const std::string& path) {
    std::vector<KillRule> rules;
    std::string error;
    Check(CKillFile::Read(path, rules, &error), "the kill file cannot be read");
    return rules;
}

void Write(const std::string& path, const std::vector<KillRule>& rules) {
    std::string error;
    Check(CKillFile::Write(path, rules, &error), "the kill file cannot be written");
}

// Pieces split at NUL; a piece's first byte picks the field code: below 0xF0 one of -1 to 2,
// else the next four bytes (little-endian) are the code.
std::vector<KillRule> RulesOf(std::string_view text) {
    std::vector<KillRule> rules;
    for (size_t pos = 0; pos < text.size();) {
        const size_t end = std::min(text.find('\0', pos), text.size());
        std::string_view piece = text.substr(pos, end - pos);
        pos = end + 1;
        if (piece.empty())
            continue;
        KillRule rule;
        const auto kind = static_cast<unsigned char>(piece[0]);
        piece.remove_prefix(1);
        rule.field = kind % 4 - 1;
        if (kind >= 0xF0 && piece.size() >= 4) {
            uint32_t code = 0;
            std::memcpy(&code, piece.data(), 4);
            rule.field = static_cast<int32_t>(code);
            piece.remove_prefix(4);
        }
        rule.pattern = piece;
        rules.push_back(std::move(rule));
    }
    return rules;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string path = fuzz::Folder() + CKillFile::kFileName;

    fuzz::WriteFile(path, text);
    const std::vector<KillRule> read = Read(path);
    Check(read == ReferenceRead(text), "a line was read wrongly");
    Write(path, read);
    Check(fuzz::ReadFile(path) == Layout(AsStored(read)), "the written file has not the layout");
    Check(Read(path) == AsStored(read), "the rules read back differently");

    const std::vector<KillRule> rules = RulesOf(text);
    Write(path, rules);
    Check(Read(path) == AsStored(rules), "written rules read back differently");
    return 0;
}

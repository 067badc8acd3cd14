// Subjects: the part identifier scan against a literal, character-by-character rendering of
// the rule (restart one character after each failed attempt).
#include "engine/PartIdentifier.h"

#include <cstdint>

namespace {

bool Digit(char c) {
    return c >= '0' && c <= '9';
}
bool Space(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

struct Reference {
    bool found = false;
    bool overflow = false;
    int64_t part = 0, total = 0;
    size_t start = 0;
};

int64_t Number(std::string_view s, size_t& pos, bool& overflow) {
    int64_t value = 0;
    for (; pos < s.size() && Digit(s[pos]); ++pos) {
        value = value * 10 + (s[pos] - '0');
        if (value > INT32_MAX) {
            overflow = true;
            value = INT32_MAX;
        }
    }
    return value;
}

Reference Scan(std::string_view s) {
    Reference r;
    for (size_t start = 0; start < s.size(); ++start) {
        if (!Digit(s[start]))
            continue;
        size_t pos = start;
        bool overflow = false;
        const int64_t part = Number(s, pos, overflow);
        while (pos < s.size() && Space(s[pos]))
            ++pos;
        std::string_view rest = s.substr(pos);
        size_t sep = 0;
        if (rest.starts_with('|') || rest.starts_with('/') || rest.starts_with('\\'))
            sep = 1;
        else if (rest.starts_with("of"))
            sep = 2;
        if (sep == 0)
            continue;
        pos += sep;
        while (pos < s.size() && Space(s[pos]))
            ++pos;
        if (pos >= s.size() || !Digit(s[pos]))
            continue;
        r.total = Number(s, pos, overflow);
        r.part = part;
        r.overflow = overflow;
        r.found = true;
        r.start = start;
        return r;
    }
    return r;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view subject(reinterpret_cast<const char*>(data), size);
    PartIdentifier id;
    const bool result = ParsePartIdentifier(subject, id);
    const Reference r = Scan(subject);
    const bool expected = r.found && !r.overflow && r.part <= r.total;
    if (result != expected)
        __builtin_trap();
    if (result &&
        (id.part != r.part || id.total != r.total || id.prefix != subject.substr(0, r.start)))
        __builtin_trap();
    if (result && (id.part < 0 || id.part > id.total))
        __builtin_trap();
    return 0;
}

#include "engine/PartIdentifier.h"

#include <limits>

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// ASCII white space only: bytes above 127 are never white space or digits.
bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Reads the digit run at pos; false when its value does not fit an int32_t.
bool ReadNumber(std::string_view text, size_t& pos, int32_t& value) {
    int64_t result = 0;
    bool fits = true;
    for (; pos < text.size() && IsDigit(text[pos]); ++pos) {
        result = result * 10 + (text[pos] - '0');
        if (result > std::numeric_limits<int32_t>::max()) {
            fits = false;
            result = std::numeric_limits<int32_t>::max();
        }
    }
    value = static_cast<int32_t>(result);
    return fits;
}

void SkipSpace(std::string_view text, size_t& pos) {
    while (pos < text.size() && IsSpace(text[pos]))
        ++pos;
}

// Skips a separator ("|", "/", "\" or "of") at pos; false when none starts there.
bool SkipSeparator(std::string_view text, size_t& pos) {
    std::string_view rest = text.substr(pos);
    if (rest.starts_with('|') || rest.starts_with('/') || rest.starts_with('\\')) {
        pos += 1;
        return true;
    }
    if (rest.starts_with("of")) {
        pos += 2;
        return true;
    }
    return false;
}

} // namespace

bool ParsePartIdentifier(std::string_view subject, PartIdentifier& id) {
    size_t start = 0;
    while (start < subject.size()) {
        if (!IsDigit(subject[start])) {
            ++start;
            continue;
        }
        size_t pos = start;
        int32_t part = 0;
        int32_t total = 0;
        bool fits = ReadNumber(subject, pos, part);
        const size_t digitsEnd = pos;
        SkipSpace(subject, pos);
        if (SkipSeparator(subject, pos)) {
            SkipSpace(subject, pos);
            if (pos < subject.size() && IsDigit(subject[pos])) {
                fits = ReadNumber(subject, pos, total) && fits;
                id.part = part;
                id.total = total;
                id.prefix.assign(subject.substr(0, start));
                // The first identifier decides, valid or not; numbers too large for an
                // int32_t make it invalid.
                return fits && part <= total;
            }
        }
        // An attempt starting at a later digit of the same run would meet the same text after
        // the run and fail the same way, so the scan goes on after the run (this keeps long
        // digit runs linear).
        start = digitsEnd;
    }
    id.prefix.assign(subject);
    return false;
}

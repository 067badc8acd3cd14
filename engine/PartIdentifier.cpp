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

// Between the text in front of an identifier and the text after it in a set's name: neither
// a digit nor white space, so the two never run together into another name.
constexpr char kNameJoint = '\x1e';

bool IsWordCharacter(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool HasYencWord(std::string_view subject) {
    constexpr std::string_view kWord = "yenc";
    for (size_t at = 0; at + kWord.size() <= subject.size(); ++at) {
        bool same = true;
        for (size_t k = 0; k < kWord.size() && same; ++k)
            same = (subject[at + k] | 0x20) == kWord[k];
        if (!same)
            continue;
        const bool startsWord = at == 0 || !IsWordCharacter(subject[at - 1]);
        const size_t end = at + kWord.size();
        if (startsWord && (end == subject.size() || !IsWordCharacter(subject[end])))
            return true;
    }
    return false;
}

struct BracketedPair {
    size_t start = 0; // of the opening bracket
    int32_t part = 0;
    int32_t total = 0;
    bool fits = true;
};

// "(n/m)" or "[n/m]" opening at pos, white space allowed inside.
bool ReadBracketedPair(std::string_view text, size_t pos, BracketedPair& pair) {
    const char close = text[pos] == '(' ? ')' : ']';
    pair.start = pos++;
    SkipSpace(text, pos);
    if (pos >= text.size() || !IsDigit(text[pos]))
        return false;
    pair.fits = ReadNumber(text, pos, pair.part);
    SkipSpace(text, pos);
    if (pos >= text.size() || text[pos] != '/')
        return false;
    ++pos;
    SkipSpace(text, pos);
    if (pos >= text.size() || !IsDigit(text[pos]))
        return false;
    pair.fits = ReadNumber(text, pos, pair.total) && pair.fits;
    SkipSpace(text, pos);
    return pos < text.size() && text[pos] == close;
}

// Scanned from the end, so that each bracket is read once: linear in the subject's length
// apart from the digits of the pair found.
bool FindLastBracketedPair(std::string_view subject, BracketedPair& pair) {
    for (size_t at = subject.size(); at-- > 0;) {
        if ((subject[at] == '(' || subject[at] == '[') && ReadBracketedPair(subject, at, pair))
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
                id.setName.assign(subject.substr(0, start)).push_back(kNameJoint);
                id.setName.append(subject.substr(pos));
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
    id.setName = id.prefix;
    return false;
}

bool ParseSubjectPart(std::string_view subject, PartIdentifier& id) {
    if (!HasYencWord(subject))
        return ParsePartIdentifier(subject, id);
    BracketedPair pair;
    if (!FindLastBracketedPair(subject, pair))
        return ParsePartIdentifier(subject, id);
    id.part = pair.part;
    id.total = pair.total;
    id.prefix.assign(subject.substr(0, pair.start));
    id.setName = id.prefix;
    return pair.fits && pair.part <= pair.total;
}

#include "engine/YencKeywordLines.h"

#include <array>
#include <charconv>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// The word of `text` that starts at or after `pos` (after any blanks); `pos` moves past it.
std::string_view NextWord(std::string_view text, size_t& pos) {
    while (pos < text.size() && IsBlank(text[pos]))
        ++pos;
    const size_t start = pos;
    while (pos < text.size() && !IsBlank(text[pos]))
        ++pos;
    return text.substr(start, pos - start);
}

// What follows the line's keyword ("=ybegin" and so on), which a blank must end; nullopt for
// another line.
std::optional<std::string_view> AfterKeyword(std::string_view line, std::string_view keyword) {
    if (!line.starts_with(keyword) || line.size() == keyword.size() ||
        !IsBlank(line[keyword.size()]))
        return std::nullopt;
    return line.substr(keyword.size());
}

// The values of the known keys among the key=value words.
template <size_t N> class KeyValues {
  public:
    explicit KeyValues(const std::array<std::string_view, N>& keys) : m_keys(keys) {}

    // False when a known key comes twice.
    bool Read(std::string_view words) {
        size_t pos = 0;
        for (std::string_view word = NextWord(words, pos); !word.empty();
             word = NextWord(words, pos)) {
            const size_t equals = word.find('=');
            if (equals == std::string_view::npos)
                continue;
            const size_t index = IndexOf(word.substr(0, equals));
            if (index == N)
                continue;
            if (m_values[index])
                return false;
            m_values[index] = word.substr(equals + 1);
        }
        return true;
    }

    std::optional<std::string_view> Get(std::string_view key) const {
        return m_values[IndexOf(key)];
    }

  private:
    size_t IndexOf(std::string_view key) const {
        size_t index = 0;
        while (index < N && m_keys[index] != key)
            ++index;
        return index;
    }

    const std::array<std::string_view, N>& m_keys;
    std::array<std::optional<std::string_view>, N> m_values{};
};

// All of `text` as a number of type T in `base`, nothing else (no sign, no blanks).
template <class T> std::optional<T> ParseWhole(std::string_view text, int base) {
    T value{};
    const char* end = text.data() + text.size();
    if (text.empty() || text.front() == '-' || text.front() == '+')
        return std::nullopt;
    const auto [stop, error] = std::from_chars(text.data(), end, value, base);
    if (error != std::errc() || stop != end)
        return std::nullopt;
    return value;
}

template <class T> std::optional<T> ParseDecimal(std::string_view text) {
    return ParseWhole<T>(text, 10);
}

std::optional<uint32_t> ParseCrc(std::string_view text) {
    if (text.size() > 8)
        return std::nullopt;
    return ParseWhole<uint32_t>(text, 16);
}

// Fills `into` from the key's value when there is one; false when that value is malformed.
template <class T, size_t N, class Parse>
bool ReadOptional(const KeyValues<N>& values, std::string_view key, std::optional<T>& into,
                  Parse parse) {
    const std::optional<std::string_view> text = values.Get(key);
    if (!text)
        return true;
    into = parse(*text);
    return into.has_value();
}

// As ReadOptional, for a key the line must have.
template <class T, size_t N, class Parse>
bool ReadRequired(const KeyValues<N>& values, std::string_view key, T& into, Parse parse) {
    std::optional<T> value;
    if (!ReadOptional(values, key, value, parse) || !value)
        return false;
    into = *value;
    return true;
}

constexpr std::string_view kName = "name=";

// Splits the words of an =ybegin line at its first name= word into the words before it and
// the name, which takes the rest of the line.
std::optional<std::string_view> SplitAtName(std::string_view& words) {
    size_t pos = 0;
    for (std::string_view word = NextWord(words, pos); !word.empty(); word = NextWord(words, pos)) {
        if (!word.starts_with(kName))
            continue;
        const size_t start = pos - word.size();
        const std::string_view name = Trim(words.substr(start + kName.size()));
        words = words.substr(0, start);
        return name;
    }
    return std::nullopt;
}

const std::array<std::string_view, 4> kBeginKeys = {"part", "total", "line", "size"};
const std::array<std::string_view, 2> kPartKeys = {"begin", "end"};
const std::array<std::string_view, 4> kEndKeys = {"size", "part", "pcrc32", "crc32"};

} // namespace

std::optional<YencBegin> ParseYbeginLine(std::string_view line) {
    std::optional<std::string_view> words = AfterKeyword(line, "=ybegin");
    if (!words)
        return std::nullopt;
    const std::optional<std::string_view> name = SplitAtName(*words);
    KeyValues values(kBeginKeys);
    if (!name || name->empty() || !values.Read(*words))
        return std::nullopt;
    YencBegin begin;
    begin.name = *name;
    std::optional<int64_t> lineLength;
    if (!ReadOptional(values, "part", begin.part, ParseDecimal<int64_t>) ||
        !ReadOptional(values, "total", begin.total, ParseDecimal<int64_t>) ||
        !ReadOptional(values, "line", lineLength, ParseDecimal<int64_t>) ||
        !ReadRequired(values, "size", begin.size, ParseDecimal<uint64_t>))
        return std::nullopt;
    begin.line = lineLength.value_or(0);
    return begin;
}

std::optional<YencPartRange> ParseYpartLine(std::string_view line) {
    const std::optional<std::string_view> words = AfterKeyword(line, "=ypart");
    KeyValues values(kPartKeys);
    if (!words || !values.Read(*words))
        return std::nullopt;
    YencPartRange range;
    if (!ReadRequired(values, "begin", range.begin, ParseDecimal<uint64_t>) ||
        !ReadRequired(values, "end", range.end, ParseDecimal<uint64_t>))
        return std::nullopt;
    if (range.begin < 1 || range.end < range.begin - 1)
        return std::nullopt;
    return range;
}

std::optional<YencEnd> ParseYendLine(std::string_view line) {
    const std::optional<std::string_view> words = AfterKeyword(line, "=yend");
    KeyValues values(kEndKeys);
    if (!words || !values.Read(*words))
        return std::nullopt;
    YencEnd end;
    if (!ReadRequired(values, "size", end.size, ParseDecimal<uint64_t>) ||
        !ReadOptional(values, "part", end.part, ParseDecimal<int64_t>) ||
        !ReadOptional(values, "pcrc32", end.pcrc32, ParseCrc) ||
        !ReadOptional(values, "crc32", end.crc32, ParseCrc))
        return std::nullopt;
    return end;
}

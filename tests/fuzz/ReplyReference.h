#pragma once

// References for the numbers in server replies, written from their descriptions rather than
// from the code they check: reply codes as atoi reads them, article numbers as the run stores
// them.

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace fuzz {

// The leading decimal number as atoi reads it, through strtoll, clamped to 32 bits.
inline int32_t ReferenceCode(std::string_view text) {
    size_t start = 0;
    while (start < text.size() && std::isspace(static_cast<unsigned char>(text[start])))
        ++start;
    const bool sign = start < text.size() && (text[start] == '+' || text[start] == '-');
    size_t first = start + (sign ? 1 : 0);
    while (first + 1 < text.size() && text[first] == '0' && text[first + 1] >= '0' &&
           text[first + 1] <= '9')
        ++first;
    size_t end = first;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9')
        ++end;
    std::string copy = sign ? std::string(1, text[start]) : std::string();
    copy += text.substr(first, std::min<size_t>(end - first, 30));
    const long long value = std::strtoll(copy.c_str(), nullptr, 10);
    return static_cast<int32_t>(std::clamp<long long>(value, INT32_MIN, INT32_MAX));
}

// An article number field: its leading digits, saturating at the 32-bit limit.
inline uint32_t ReferenceNumber(std::string_view field) {
    size_t end = 0;
    while (end < field.size() && field[end] >= '0' && field[end] <= '9')
        ++end;
    const std::string digits(field.substr(0, end));
    const size_t first = std::min(digits.find_first_not_of('0'), digits.size());
    if (digits.size() - first > 10)
        return UINT32_MAX;
    return static_cast<uint32_t>(
        std::min<unsigned long long>(std::strtoull(digits.c_str(), nullptr, 10), UINT32_MAX));
}

} // namespace fuzz

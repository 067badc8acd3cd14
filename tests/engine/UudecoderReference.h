#pragma once

// The data line rules written out one character at a time, with nothing shared with the
// decoder: the yardstick for its wide paths in the unit tests and the fuzzer.
#include "engine/Uudecoder.h"

#include <cstdint>
#include <string>
#include <string_view>

inline UuLineResult ReferenceUudecodeDataLine(std::string_view line, std::string& out) {
    if (line.empty())
        return UuLineResult::Ignored;
    const auto first = static_cast<unsigned char>(line[0]);
    if (first == ' ' || first == '`')
        return UuLineResult::EndOfData;
    if (first < ' ' || first > '`')
        return UuLineResult::Error;
    const std::size_t count = first - ' ';
    const std::size_t groups = (count + 2) / 3;
    const std::string_view chars = line.substr(1);
    // At most the last two characters of the last group may be missing.
    if (chars.size() + 2 < groups * 4)
        return UuLineResult::Error;
    std::string bytes;
    for (std::size_t group = 0; group < groups; ++group) {
        uint32_t bits = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            const std::size_t at = group * 4 + k;
            const auto c = at < chars.size() ? static_cast<unsigned char>(chars[at]) : ' ';
            bits = (bits << 6) | ((c - ' ') & 0x3F);
        }
        for (int shift = 16; shift >= 0; shift -= 8)
            bytes += static_cast<char>((bits >> shift) & 0xFF);
    }
    out += bytes.substr(0, count);
    return UuLineResult::Data;
}

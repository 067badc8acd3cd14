#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The keyword lines around yEnc data. Each holds blank-separated key=value words in any order,
// unknown keys passed over; numbers are decimal and CRCs 1 to 8 hex digits in either case. A
// line is invalid (nullopt) when a required key is missing, a known key comes twice, or a value
// is malformed or too large.

// "=ybegin part=1 total=3 line=128 size=20000 name=file name.bin": name= is the last key and
// takes the rest of the line, blanks at either end removed; it and size= are required.
struct YencBegin {
    std::optional<int64_t> part, total;
    int64_t line = 0;
    uint64_t size = 0;
    std::string name;
};
std::optional<YencBegin> ParseYbeginLine(std::string_view line);

// "=ypart begin=1 end=7000": the part's first and last byte in the file, counted from 1 (an
// empty part has end = begin - 1).
struct YencPartRange {
    uint64_t begin = 0, end = 0;
};
std::optional<YencPartRange> ParseYpartLine(std::string_view line);

// "=yend size=7000 part=1 pcrc32=1a2b3c4d crc32=...": size= is required.
struct YencEnd {
    uint64_t size = 0;
    std::optional<int64_t> part;
    std::optional<uint32_t> pcrc32, crc32;
};
std::optional<YencEnd> ParseYendLine(std::string_view line);

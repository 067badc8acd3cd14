#include "engine/Uudecoder.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

namespace {

constexpr unsigned char kBlank = ' ';
constexpr unsigned char kBackquote = '`';

// Six bits of one character: its code minus 32, modulo 64 (so the backquote stands for 0).
inline uint32_t Sextet(unsigned char c) {
    return (c - kBlank) & 0x3F;
}

inline void DecodeGroup(const unsigned char* in, char* out) {
    const uint32_t bits =
        (Sextet(in[0]) << 18) | (Sextet(in[1]) << 12) | (Sextet(in[2]) << 6) | Sextet(in[3]);
    out[0] = static_cast<char>(bits >> 16);
    out[1] = static_cast<char>(bits >> 8);
    out[2] = static_cast<char>(bits);
}

// Two groups at once in one 64-bit word loaded in memory order (least significant byte first),
// with the same sextets as Sextet since (c - 32) mod 64 is (c xor 32) mod 64. Each output byte
// is put together from the sextet bits that make it up, in the place it takes in memory; the
// two groups' bytes are then closed up. Writes 8 bytes, of which the first 6 are the result.
inline void DecodeTwoGroups(const unsigned char* in, char* out) {
    uint64_t word = 0;
    std::memcpy(&word, in, sizeof word);
    word = (word ^ 0x2020202020202020u) & 0x3F3F3F3F3F3F3F3Fu;
    const uint64_t bytes =
        ((word & 0x0000003F0000003Fu) << 2) | ((word >> 12) & 0x0000000300000003u) | // 1st
        ((word & 0x00000F0000000F00u) << 4) | ((word >> 10) & 0x00000F0000000F00u) | // 2nd
        ((word & 0x0003000000030000u) << 6) | ((word >> 8) & 0x003F0000003F0000u);   // 3rd
    const uint64_t packed = (bytes & 0xFFFFFFu) | ((bytes >> 8) & 0xFFFFFF000000u);
    std::memcpy(out, &packed, sizeof packed);
}

// Decodes `groups` whole groups of four characters into three bytes each; `out` has two bytes
// of room beyond them.
void DecodeGroups(const unsigned char* in, char* out, size_t groups) {
    size_t g = 0;
    if constexpr (std::endian::native == std::endian::little) {
        for (; g + 2 <= groups; g += 2)
            DecodeTwoGroups(in + g * 4, out + g * 3);
    }
    for (; g < groups; ++g)
        DecodeGroup(in + g * 4, out + g * 3);
}

// The number of bytes a data line carries, or -1 when its length character is outside the
// blank to backquote range or the line is too short for it. Up to two trailing characters of
// the last group may be missing (stripped trailing blanks).
int ByteCount(std::string_view line) {
    const auto first = static_cast<unsigned char>(line.front());
    if (first < kBlank || first > kBackquote)
        return -1;
    const int count = Sextet(first);
    const size_t minimum = static_cast<size_t>((count + 2) / 3 * 4 - 1);
    return line.size() >= minimum ? count : -1;
}

bool EndsData(std::string_view line) {
    return line.front() == static_cast<char>(kBlank) ||
           line.front() == static_cast<char>(kBackquote);
}

} // namespace

UuLineResult UudecodeDataLine(std::string_view line, std::string& out) {
    if (line.empty())
        return UuLineResult::Ignored;
    if (EndsData(line))
        return UuLineResult::EndOfData;
    const int count = ByteCount(line);
    if (count < 0)
        return UuLineResult::Error;

    const size_t groups = static_cast<size_t>(count + 2) / 3;
    const auto* in = reinterpret_cast<const unsigned char*>(line.data()) + 1;
    const size_t available = line.size() - 1;
    // Decoded in place, with room for the last two-group write, then cut to the byte count.
    const size_t start = out.size();
    out.resize(start + groups * 3 + 2);
    char* dest = out.data() + start;
    // Whole groups straight from the line; a last group cut short is padded with blanks.
    const size_t whole = std::min(groups, available / 4);
    DecodeGroups(in, dest, whole);
    if (whole < groups) {
        unsigned char last[4] = {kBlank, kBlank, kBlank, kBlank};
        std::memcpy(last, in + whole * 4, available - whole * 4);
        DecodeGroup(last, dest + whole * 3);
    }
    out.resize(start + static_cast<size_t>(count));
    return UuLineResult::Data;
}

bool CouldBeUuencodedData(std::string_view line) {
    return !line.empty() && !EndsData(line) && ByteCount(line) >= 0;
}

std::string ParseBeginLine(std::string_view line) {
    constexpr std::string_view kBegin = "begin ";
    if (!line.starts_with(kBegin))
        return {};
    std::string_view rest = line.substr(kBegin.size());
    const size_t mode = rest.find_first_not_of(' ');
    if (mode == std::string_view::npos)
        return {};
    const size_t modeEnd = rest.find(' ', mode);
    if (modeEnd == std::string_view::npos)
        return {};
    return std::string(rest.substr(modeEnd + 1));
}

#include "engine/Uudecoder.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

constexpr unsigned char kBlank = ' ';
constexpr unsigned char kBackquote = '`';

// Room the group decoders may write beyond the last decoded byte (the widest is the 32-byte
// store of 24 bytes).
constexpr size_t kOutSlack = 8;

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

// Decodes `groups` whole groups of four characters into three bytes each; `out` has
// kOutSlack bytes of room beyond them.
void DecodeGroups(const unsigned char* in, size_t groups, char* out) {
    size_t g = 0;
    if constexpr (std::endian::native == std::endian::little) {
        for (; g + 2 <= groups; g += 2)
            DecodeTwoGroups(in + g * 4, out + g * 3);
    }
    for (; g < groups; ++g)
        DecodeGroup(in + g * 4, out + g * 3);
}

#if defined(__x86_64__)

// Four groups per 16 characters, the way base64 is decoded with byte shuffles but without a
// lookup table: every character's sextet is (c xor 32) & 63. Multiply-adds join two sextets
// into 12 bits in each 16-bit half, then two of those into 24 bits in each 32-bit word, whose
// bytes are then put in order; the last four bytes of the result are zero.
__attribute__((target("ssse3"))) inline __m128i DecodeBlock16(__m128i chars) {
    const __m128i sextets =
        _mm_and_si128(_mm_xor_si128(chars, _mm_set1_epi8(0x20)), _mm_set1_epi8(0x3F));
    const __m128i pairs = _mm_maddubs_epi16(sextets, _mm_set1_epi32(0x01400140));
    const __m128i words = _mm_madd_epi16(pairs, _mm_set1_epi32(0x00011000));
    return _mm_shuffle_epi8(words,
                            _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1));
}

// The four groups that start `offset` characters in.
__attribute__((target("ssse3"))) inline void DecodeAt16(const unsigned char* in, size_t offset,
                                                        char* out) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + offset));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + offset / 4 * 3), DecodeBlock16(block));
}

// Blocks of 16 characters; a remainder is covered by one more block ending at the last
// group, which overlaps the one before and so reads nothing beyond the groups.
__attribute__((target("ssse3"))) void DecodeGroupsSsse3(const unsigned char* in, size_t groups,
                                                        char* out) {
    const size_t chars = groups * 4;
    if (chars < 16)
        return DecodeGroups(in, groups, out);
    size_t done = 0;
    for (; done + 16 <= chars; done += 16)
        DecodeAt16(in, done, out);
    if (done < chars)
        DecodeAt16(in, chars - 16, out);
}

// Eight groups, decoded as above in both 16-byte lanes, whose 12 bytes each are then closed up
// into 24.
__attribute__((target("avx2"))) inline void DecodeAt32(const unsigned char* in, size_t offset,
                                                       char* out) {
    const __m256i block = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + offset));
    const __m256i sextets =
        _mm256_and_si256(_mm256_xor_si256(block, _mm256_set1_epi8(0x20)), _mm256_set1_epi8(0x3F));
    const __m256i pairs = _mm256_maddubs_epi16(sextets, _mm256_set1_epi32(0x01400140));
    const __m256i words = _mm256_madd_epi16(pairs, _mm256_set1_epi32(0x00011000));
    const __m256i lanes = _mm256_shuffle_epi8(
        words, _mm256_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1, 2, 1, 0, 6,
                                5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1));
    const __m256i bytes =
        _mm256_permutevar8x32_epi32(lanes, _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + offset / 4 * 3), bytes);
}

__attribute__((target("avx2"))) void DecodeGroupsAvx2(const unsigned char* in, size_t groups,
                                                      char* out) {
    const size_t chars = groups * 4;
    if (chars < 32)
        return DecodeGroupsSsse3(in, groups, out);
    size_t done = 0;
    for (; done + 32 <= chars; done += 32)
        DecodeAt32(in, done, out);
    if (done < chars)
        DecodeAt32(in, chars - 32, out);
}

#endif

using GroupDecoder = void (*)(const unsigned char* in, size_t groups, char* out);

// The widest decoder the processor runs, chosen once.
GroupDecoder ChooseGroupDecoder() {
#if defined(__x86_64__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2"))
        return DecodeGroupsAvx2;
    if (__builtin_cpu_supports("ssse3"))
        return DecodeGroupsSsse3;
#endif
    return DecodeGroups;
}

// The byte count a line's length character announces: 1 to 63 for '!' to '_'; 0 for the
// blank and 64 for the backquote, which end the data; more for any other character (those
// below the blank wrap around).
unsigned AnnouncedCount(std::string_view line) {
    return static_cast<unsigned char>(line.front()) - kBlank;
}

// One unsigned comparison for 1 to 63.
bool IsByteCount(unsigned count) {
    return count - 1 < 63;
}

constexpr size_t GroupCount(unsigned count) {
    return (count + 2) / 3;
}

// Up to two trailing characters of the last group may be missing (stripped trailing blanks).
bool LongEnough(std::string_view line, size_t groups) {
    return line.size() + 1 >= groups * 4;
}

bool EndsData(std::string_view line) {
    return line.front() == static_cast<char>(kBlank) ||
           line.front() == static_cast<char>(kBackquote);
}

} // namespace

UuLineResult UudecodeDataLine(std::string_view line, ByteBuffer& out) {
    if (line.empty())
        return UuLineResult::Ignored;
    const unsigned count = AnnouncedCount(line);
    if (!IsByteCount(count))
        return EndsData(line) ? UuLineResult::EndOfData : UuLineResult::Error;
    const size_t groups = GroupCount(count);
    if (!LongEnough(line, groups))
        return UuLineResult::Error;

    const auto* in = reinterpret_cast<const unsigned char*>(line.data()) + 1;
    const size_t available = line.size() - 1;
    // Decoded in place, with room for the decoders' writes beyond the groups, then cut to the
    // byte count.
    const size_t start = out.Size();
    char* dest = out.Extend(groups * 3 + kOutSlack);
    // Whole groups straight from the line; a last group cut short is padded with blanks.
    const size_t whole = std::min(groups, available / 4);
    static const GroupDecoder decodeGroups = ChooseGroupDecoder();
    decodeGroups(in, whole, dest);
    if (whole < groups) {
        unsigned char last[4] = {kBlank, kBlank, kBlank, kBlank};
        std::memcpy(last, in + whole * 4, available - whole * 4);
        DecodeGroup(last, dest + whole * 3);
    }
    out.Truncate(start + count);
    return UuLineResult::Data;
}

bool CouldBeUuencodedData(std::string_view line) {
    if (line.empty())
        return false;
    const unsigned count = AnnouncedCount(line);
    return IsByteCount(count) && LongEnough(line, GroupCount(count));
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

#include "engine/YencDecoder.h"

#include <array>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

constexpr unsigned char kEscape = '=';
constexpr unsigned char kOffset = 42;
constexpr unsigned char kEscapeOffset = 64;

// Decodes `size` characters. `escaped` says whether the first one is escaped by an "=" before
// them and, on return, whether the character after them is. Returns the end of the output.
char* DecodeScalar(const unsigned char* in, size_t size, char* out, bool& escaped) {
    for (size_t i = 0; i < size; ++i) {
        const unsigned char c = in[i];
        if (escaped) {
            *out++ = static_cast<char>(c - kEscapeOffset - kOffset);
            escaped = false;
        } else if (c == kEscape) {
            escaped = true;
        } else {
            *out++ = static_cast<char>(c - kOffset);
        }
    }
    return out;
}

const unsigned char* Chars(std::string_view line) {
    return reinterpret_cast<const unsigned char*>(line.data());
}

size_t DecodeLineScalar(std::string_view line, char* out) {
    bool escaped = false;
    return static_cast<size_t>(DecodeScalar(Chars(line), line.size(), out, escaped) - out);
}

#if defined(__x86_64__)

// The block decoders' carry is 1 when the character after the block is escaped.
char* DecodeScalarBlock(const unsigned char* in, size_t size, char* out, unsigned& carry) {
    bool escaped = carry != 0;
    out = DecodeScalar(in, size, out, escaped);
    carry = escaped ? 1 : 0;
    return out;
}

// For every pattern of "=" among eight bytes, the byte shuffle that closes up the others, and
// how many others there are.
struct CompactTable {
    uint8_t shuffle[256][8];
    uint8_t kept[256];
};

constexpr CompactTable MakeCompactTable() {
    CompactTable table{};
    for (unsigned removed = 0; removed < 256; ++removed) {
        uint8_t kept = 0;
        for (uint8_t i = 0; i < 8; ++i) {
            if ((removed >> i & 1) == 0)
                table.shuffle[removed][kept++] = i;
        }
        table.kept[removed] = kept;
    }
    return table;
}

alignas(64) constexpr CompactTable kCompact = MakeCompactTable();

// Stores the bytes of `bytes` whose bit in `removed` is clear, closed up; writes 16 bytes.
__attribute__((target("ssse3"))) inline char* Compact16(__m128i bytes, unsigned removed,
                                                        char* out) {
    const unsigned low = removed & 0xFF;
    const unsigned high = removed >> 8;
    const __m128i shuffle =
        _mm_add_epi8(_mm_unpacklo_epi64(
                         _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kCompact.shuffle[low])),
                         _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kCompact.shuffle[high]))),
                     _mm_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 8, 8, 8, 8, 8, 8, 8, 8));
    const __m128i packed = _mm_shuffle_epi8(bytes, shuffle);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), packed);
    out += kCompact.kept[low];
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_unpackhi_epi64(packed, packed));
    return out + kCompact.kept[high];
}

// Sixteen characters: all less 42, the escaped ones 64 more, the "=" dropped. A block in which
// an "=" is itself escaped is left to the scalar decoder. Blocks without an "=" are not taken
// apart: in real yEnc that branch goes either way too often to be predicted.
__attribute__((target("ssse3"))) inline char* Decode16(const unsigned char* in, char* out,
                                                       unsigned& carry) {
    const __m128i chars = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    const __m128i isEscape = _mm_cmpeq_epi8(chars, _mm_set1_epi8(kEscape));
    const unsigned escapes = static_cast<unsigned>(_mm_movemask_epi8(isEscape));
    const __m128i bytes = _mm_sub_epi8(chars, _mm_set1_epi8(kOffset));
    if (escapes & ((escapes << 1) | carry))
        return DecodeScalarBlock(in, 16, out, carry);
    const __m128i escaped = _mm_or_si128(_mm_slli_si128(isEscape, 1),
                                         _mm_cvtsi32_si128(static_cast<int>(carry * 0xFF)));
    carry = escapes >> 15;
    const __m128i decoded =
        _mm_sub_epi8(bytes, _mm_and_si128(escaped, _mm_set1_epi8(kEscapeOffset)));
    return Compact16(decoded, escapes, out);
}

// Thirty-two characters, as Decode16 does, the escapes found across both halves.
__attribute__((target("avx2"))) inline char* Decode32(const unsigned char* in, char* out,
                                                      unsigned& carry) {
    const __m256i chars = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in));
    const __m256i isEscape = _mm256_cmpeq_epi8(chars, _mm256_set1_epi8(kEscape));
    const uint32_t escapes = static_cast<uint32_t>(_mm256_movemask_epi8(isEscape));
    const __m256i bytes = _mm256_sub_epi8(chars, _mm256_set1_epi8(kOffset));
    if (escapes & ((escapes << 1) | carry))
        return DecodeScalarBlock(in, 32, out, carry);
    // Every byte of isEscape moved up by one, across the halves; the carry comes in at the
    // bottom.
    const __m256i follows =
        _mm256_alignr_epi8(isEscape, _mm256_permute2x128_si256(isEscape, isEscape, 0x08), 15);
    const __m256i escaped = _mm256_or_si256(
        follows, _mm256_zextsi128_si256(_mm_cvtsi32_si128(static_cast<int>(carry * 0xFF))));
    carry = escapes >> 31;
    const __m256i decoded =
        _mm256_sub_epi8(bytes, _mm256_and_si256(escaped, _mm256_set1_epi8(kEscapeOffset)));
    out = Compact16(_mm256_castsi256_si128(decoded), escapes & 0xFFFF, out);
    return Compact16(_mm256_extracti128_si256(decoded, 1), escapes >> 16, out);
}

// The characters after the last whole block, padded to a block with zeros: every zero decodes
// to one byte, which is then taken off again (so is the byte a trailing "=" escapes).
template <size_t Block>
size_t DecodeRest(const unsigned char* in, size_t size, char* out, unsigned carry,
                  char* (*decodeBlock)(const unsigned char*, char*, unsigned&)) {
    if (size == 0)
        return 0;
    unsigned char padded[Block] = {};
    std::memcpy(padded, in, size);
    return static_cast<size_t>(decodeBlock(padded, out, carry) - out) - (Block - size);
}

__attribute__((target("ssse3"))) char* Decode16Call(const unsigned char* in, char* out,
                                                    unsigned& carry) {
    return Decode16(in, out, carry);
}

__attribute__((target("avx2"))) char* Decode32Call(const unsigned char* in, char* out,
                                                   unsigned& carry) {
    return Decode32(in, out, carry);
}

__attribute__((target("ssse3"))) size_t DecodeLineSsse3(std::string_view line, char* out) {
    const unsigned char* in = Chars(line);
    char* const start = out;
    unsigned carry = 0;
    size_t done = 0;
    for (; done + 16 <= line.size(); done += 16)
        out = Decode16(in + done, out, carry);
    out += DecodeRest<16>(in + done, line.size() - done, out, carry, Decode16Call);
    return static_cast<size_t>(out - start);
}

__attribute__((target("avx2"))) size_t DecodeLineAvx2(std::string_view line, char* out) {
    const unsigned char* in = Chars(line);
    char* const start = out;
    unsigned carry = 0;
    size_t done = 0;
    for (; done + 32 <= line.size(); done += 32)
        out = Decode32(in + done, out, carry);
    out += DecodeRest<32>(in + done, line.size() - done, out, carry, Decode32Call);
    return static_cast<size_t>(out - start);
}

// The first `size` of 64 characters (64 readable), with byte compression doing the closing up.
__attribute__((target("avx512bw,avx512vbmi2,bmi2,popcnt"))) inline char*
Decode64(const unsigned char* in, size_t size, char* out, uint64_t& carry) {
    const uint64_t valid = _bzhi_u64(~uint64_t{0}, static_cast<unsigned>(size));
    const __m512i chars = _mm512_loadu_si512(in);
    const uint64_t escapes = _mm512_cmpeq_epi8_mask(chars, _mm512_set1_epi8(kEscape)) & valid;
    const uint64_t escaped = (escapes << 1) | carry;
    if (escapes & escaped) {
        unsigned scalarCarry = static_cast<unsigned>(carry);
        out = DecodeScalarBlock(in, size, out, scalarCarry);
        carry = scalarCarry;
        return out;
    }
    carry = escapes >> 63;
    const __m512i bytes = _mm512_sub_epi8(chars, _mm512_set1_epi8(kOffset));
    const __m512i decoded =
        _mm512_mask_sub_epi8(bytes, escaped, bytes, _mm512_set1_epi8(kEscapeOffset));
    const uint64_t kept = ~escapes & valid;
    _mm512_storeu_si512(out, _mm512_maskz_compress_epi8(kept, decoded));
    return out + _mm_popcnt_u64(kept);
}

// The last characters are copied out first: a masked load that reaches into memory not in the
// cache is many times slower than the copy.
__attribute__((target("avx512bw,avx512vbmi2,bmi2,popcnt"))) size_t
DecodeLineAvx512(std::string_view line, char* out) {
    const unsigned char* in = Chars(line);
    char* const start = out;
    uint64_t carry = 0;
    size_t done = 0;
    for (; done + 64 <= line.size(); done += 64)
        out = Decode64(in + done, 64, out, carry);
    if (done < line.size()) {
        unsigned char last[64] = {};
        std::memcpy(last, in + done, line.size() - done);
        out = Decode64(last, line.size() - done, out, carry);
    }
    return static_cast<size_t>(out - start);
}

#endif

struct PathList {
    std::array<YdecodePath, 4> paths{};
    size_t count = 0;

    void Add(YdecodePath path) { paths[count++] = path; }
};

PathList FindPaths() {
    PathList list;
#if defined(__x86_64__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi2") &&
        __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt"))
        list.Add({"avx512", DecodeLineAvx512});
    if (__builtin_cpu_supports("avx2"))
        list.Add({"avx2", DecodeLineAvx2});
    if (__builtin_cpu_supports("ssse3"))
        list.Add({"ssse3", DecodeLineSsse3});
#endif
    list.Add({"scalar", DecodeLineScalar});
    return list;
}

} // namespace

std::span<const YdecodePath> YdecodePaths() {
    static const PathList list = FindPaths();
    return {list.paths.data(), list.count};
}

size_t YdecodeDataLine(std::string_view line, ByteBuffer& out) {
    static const auto decode = YdecodePaths().front().decode;
    const size_t start = out.Size();
    const size_t size = decode(line, out.Extend(line.size() + kYdecodeOutSlack));
    out.Truncate(start + size);
    return size;
}

size_t YdecodeDataLineScalar(std::string_view line, char* out) {
    return DecodeLineScalar(line, out);
}

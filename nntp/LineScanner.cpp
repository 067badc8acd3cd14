#include "nntp/LineScanner.h"

#include <bit>
#include <cstdint>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

// A line ends at an LF whose preceding byte, inside the same line, is a CR.
inline void NoteLineFeed(LineScan& scan, std::size_t at) {
    if (at > scan.lineStart && scan.data[at - 1] == '\r') {
        scan.ends[scan.count++] = at - 1;
        scan.lineStart = at + 1;
    }
}

// The 64 bytes at `at`, given one bit per byte for line feeds and for NUL bytes.
inline void TakeBlock(LineScan& scan, std::size_t at, uint64_t feeds, uint64_t nuls) {
    for (; nuls != 0; nuls &= nuls - 1)
        scan.data[at + static_cast<std::size_t>(std::countr_zero(nuls))] = ' ';
    for (; feeds != 0; feeds &= feeds - 1)
        NoteLineFeed(scan, at + static_cast<std::size_t>(std::countr_zero(feeds)));
}

std::size_t ScanBytes(LineScan& scan, std::size_t at, std::size_t to) {
    for (; at < to; ++at) {
        if (scan.data[at] == '\0')
            scan.data[at] = ' ';
        else if (scan.data[at] == '\n')
            NoteLineFeed(scan, at);
    }
    return at;
}

#if defined(__x86_64__)
std::size_t ScanBlocksSse2(LineScan& scan, std::size_t at, std::size_t to) {
    const __m128i feed = _mm_set1_epi8('\n');
    const __m128i nul = _mm_setzero_si128();
    for (; at + 64 <= to; at += 64) {
        uint64_t feeds = 0, nuls = 0;
        for (int block = 0; block < 4; ++block) {
            const __m128i bytes =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(scan.data + at + 16 * block));
            const auto bits = [&](__m128i value) {
                return static_cast<uint64_t>(
                           static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, value))))
                       << (16 * block);
            };
            feeds |= bits(feed);
            nuls |= bits(nul);
        }
        TakeBlock(scan, at, feeds, nuls);
    }
    return at;
}

__attribute__((target("avx2"))) inline uint64_t Matches32(__m256i bytes, __m256i value) {
    return static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(bytes, value)));
}

__attribute__((target("avx2"))) std::size_t ScanBlocksAvx2(LineScan& scan, std::size_t at,
                                                           std::size_t to) {
    const __m256i feed = _mm256_set1_epi8('\n');
    const __m256i nul = _mm256_setzero_si256();
    for (; at + 64 <= to; at += 64) {
        const auto* block = reinterpret_cast<const __m256i*>(scan.data + at);
        const __m256i low = _mm256_loadu_si256(block);
        const __m256i high = _mm256_loadu_si256(block + 1);
        TakeBlock(scan, at, Matches32(low, feed) | Matches32(high, feed) << 32,
                  Matches32(low, nul) | Matches32(high, nul) << 32);
    }
    return at;
}
#endif

// Whole blocks of 64 bytes from `at` on; returns where the blocks end.
using BlockScanner = std::size_t (*)(LineScan& scan, std::size_t at, std::size_t to);

BlockScanner Scanner(ScanWidth width) {
#if defined(__x86_64__)
    __builtin_cpu_init();
    if (width == ScanWidth::Avx2 && __builtin_cpu_supports("avx2"))
        return ScanBlocksAvx2;
    if (width != ScanWidth::Bytes)
        return ScanBlocksSse2;
#else
    (void)width;
#endif
    return ScanBytes;
}

} // namespace

void ScanLinesWith(ScanWidth width, LineScan& scan, std::size_t from, std::size_t to) {
    ScanBytes(scan, Scanner(width)(scan, from, to), to);
}

void ScanLines(LineScan& scan, std::size_t from, std::size_t to) {
    static const BlockScanner scanBlocks = Scanner(ScanWidth::Widest);
    ScanBytes(scan, scanBlocks(scan, from, to), to);
}

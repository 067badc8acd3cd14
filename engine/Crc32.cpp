#include "engine/Crc32.h"

#include <zlib.h>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

// zlib takes sizes as unsigned int; larger pieces go in steps.
uint32_t ZlibUpdate(uint32_t crc, const unsigned char* bytes, size_t size) {
    constexpr size_t kStep = size_t{1} << 30;
    for (; size > kStep; size -= kStep, bytes += kStep)
        crc = static_cast<uint32_t>(crc32(crc, bytes, static_cast<uInt>(kStep)));
    return static_cast<uint32_t>(crc32(crc, bytes, static_cast<uInt>(size)));
}

#if defined(__x86_64__)

__attribute__((target("pclmul,sse4.1"))) inline __m128i Load(const unsigned char* in) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
}

// x carried 512 bits (with k1k2) or 128 bits (k3k4) further on, plus the next 16 bytes.
__attribute__((target("pclmul,sse4.1"))) inline __m128i FoldInto(__m128i x, __m128i k,
                                                                 __m128i next) {
    return _mm_xor_si128(
        _mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11)), next);
}

// Folding with carry-less multiplication over four 16-byte lanes, then one, then the Barrett
// reduction to 32 bits (the constants are powers of x modulo the bit-reflected polynomial).
// Takes and gives the register value, not the inverted CRC; `size` is at least 64 and a
// multiple of 16.
__attribute__((target("pclmul,sse4.1"))) uint32_t Fold(uint32_t state, const unsigned char* in,
                                                       size_t size) {
    const __m128i k1k2 = _mm_set_epi64x(0x01c6e41596, 0x0154442bd4);
    const __m128i k3k4 = _mm_set_epi64x(0x00ccaa009e, 0x01751997d0);
    const __m128i k5 = _mm_set_epi64x(0, 0x0163cd6124);
    const __m128i poly = _mm_set_epi64x(0x01f7011641, 0x01db710641);
    const __m128i low32 = _mm_setr_epi32(~0, 0, ~0, 0);
    __m128i x1 = _mm_xor_si128(Load(in), _mm_cvtsi32_si128(static_cast<int>(state)));
    __m128i x2 = Load(in + 16);
    __m128i x3 = Load(in + 32);
    __m128i x4 = Load(in + 48);
    in += 64;
    size -= 64;
    for (; size >= 64; in += 64, size -= 64) {
        x1 = FoldInto(x1, k1k2, Load(in));
        x2 = FoldInto(x2, k1k2, Load(in + 16));
        x3 = FoldInto(x3, k1k2, Load(in + 32));
        x4 = FoldInto(x4, k1k2, Load(in + 48));
    }
    x1 = FoldInto(x1, k3k4, x2);
    x1 = FoldInto(x1, k3k4, x3);
    x1 = FoldInto(x1, k3k4, x4);
    for (; size >= 16; in += 16, size -= 16)
        x1 = FoldInto(x1, k3k4, Load(in));

    // 128 bits to 64.
    x2 = _mm_clmulepi64_si128(x1, k3k4, 0x10);
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), x2);
    x2 = _mm_srli_si128(x1, 4);
    x1 = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x1, low32), k5, 0x00), x2);
    // Barrett reduction to 32.
    x2 = _mm_clmulepi64_si128(_mm_and_si128(x1, low32), poly, 0x10);
    x2 = _mm_clmulepi64_si128(_mm_and_si128(x2, low32), poly, 0x00);
    return static_cast<uint32_t>(_mm_extract_epi32(_mm_xor_si128(x1, x2), 1));
}

bool HasCarrylessMultiply() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
}

#endif

} // namespace

uint32_t Crc32Update(uint32_t crc, const void* data, size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
#if defined(__x86_64__)
    static const bool fold = HasCarrylessMultiply();
    if (fold && size >= 64) {
        const size_t folded = size & ~size_t{15};
        crc = ~Fold(~crc, bytes, folded);
        bytes += folded;
        size -= folded;
    }
#endif
    return ZlibUpdate(crc, bytes, size);
}

uint32_t Crc32UpdatePortable(uint32_t crc, const void* data, size_t size) {
    return ZlibUpdate(crc, static_cast<const unsigned char*>(data), size);
}

uint32_t Crc32Combine(uint32_t crcA, uint32_t crcB, uint64_t sizeB) {
    return static_cast<uint32_t>(crc32_combine64(crcA, crcB, static_cast<z_off64_t>(sizeB)));
}

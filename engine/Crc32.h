#pragma once

#include <cstddef>
#include <cstdint>

// The CRC-32 of yEnc and zip (reflected, polynomial 0xEDB88320, all ones in and out): the CRC of
// `data` following bytes whose CRC is `crc`; 0 for no bytes.
uint32_t Crc32Update(uint32_t crc, const void* data, size_t size);

// The CRC of two pieces one after the other, from their CRCs and the second one's size.
uint32_t Crc32Combine(uint32_t crcA, uint32_t crcB, uint64_t sizeB);

// Crc32Update without the processor's carry-less multiplication (the fallback; for tests and
// benchmarks).
uint32_t Crc32UpdatePortable(uint32_t crc, const void* data, size_t size);

#include "engine/Crc32.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>

namespace {

uint32_t Crc(std::string_view text) {
    return Crc32Update(0, text.data(), text.size());
}

std::string RandomBytes(size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    return bytes;
}

TEST(Crc32Test, KnownValues) {
    EXPECT_EQ(Crc(""), 0u);
    EXPECT_EQ(Crc("123456789"), 0xCBF43926u);
    EXPECT_EQ(Crc("The quick brown fox jumps over the lazy dog"), 0x414FA339u);
    // Long enough for the folding: 1000 times "a".
    EXPECT_EQ(Crc(std::string(1000, 'a')), 0x9A38DA03u);
}

// The folding takes multiples of 16 from 64 on and leaves the rest to the table: every size
// and start offset around those edges, whole and in two pieces.
TEST(Crc32Test, FoldingEqualsPortableAtEverySize) {
    const std::string bytes = RandomBytes(1200, 3);
    for (size_t offset = 0; offset < 16; offset += 5) {
        for (size_t size = 0; size + offset <= bytes.size(); ++size) {
            const char* data = bytes.data() + offset;
            const uint32_t expected = Crc32UpdatePortable(0, data, size);
            ASSERT_EQ(Crc32Update(0, data, size), expected) << offset << " " << size;
            const size_t half = size / 2;
            ASSERT_EQ(Crc32Update(Crc32Update(0, data, half), data + half, size - half), expected);
        }
    }
    const std::string big = RandomBytes(5 << 20, 4);
    EXPECT_EQ(Crc32Update(0, big.data(), big.size()),
              Crc32UpdatePortable(0, big.data(), big.size()));
}

TEST(Crc32Test, CombineEqualsWhole) {
    const std::string bytes = RandomBytes(70000, 5);
    for (const size_t split : {size_t{0}, size_t{1}, size_t{640}, size_t{65536}, bytes.size()}) {
        const std::string_view a = std::string_view(bytes).substr(0, split);
        const std::string_view b = std::string_view(bytes).substr(split);
        EXPECT_EQ(Crc32Combine(Crc(a), Crc(b), b.size()), Crc(bytes)) << split;
    }
}

} // namespace

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "nntp/LineScanner.h"

using ::testing::ElementsAre;

namespace {

struct ScanResult {
    std::string data;
    std::vector<std::size_t> ends;
    std::size_t lineStart;
};

ScanResult Scan(ScanWidth width, std::string data, std::size_t from, std::size_t lineStart) {
    std::vector<std::size_t> ends(data.size() / 2 + 2);
    LineScan scan{data.data(), ends.data(), 0, lineStart};
    ScanLinesWith(width, scan, from, data.size());
    ends.resize(scan.count);
    return {data, ends, scan.lineStart};
}

TEST(LineScannerTest, LineEndsAndNulBytes) {
    // CR LF ends a line; a lone CR or LF does not; a CR LF whose CR began the scan's data only
    // counts when the line started before it.
    const std::string wire = std::string("a\r\nb\0c\r\r\n\n\r\n", 12) + "\r\r\n";
    for (ScanWidth width : {ScanWidth::Bytes, ScanWidth::Sse2, ScanWidth::Avx2}) {
        const ScanResult result = Scan(width, wire, 0, 0);
        EXPECT_EQ(result.data, std::string("a\r\nb c\r\r\n\n\r\n\r\r\n"));
        EXPECT_THAT(result.ends, ElementsAre(1u, 7u, 10u, 13u));
        EXPECT_EQ(result.lineStart, 15u);
    }
}

// Every width must find the same ends and make the same bytes, wherever a block boundary
// falls: dense random CR, LF and NUL bytes at every start offset.
TEST(LineScannerTest, EveryWidthAgreesOnRandomBytes) {
    std::mt19937 random(7);
    const char alphabet[] = {'\r', '\n', '\0', 'x', '\r', '\n'};
    for (int round = 0; round < 200; ++round) {
        std::string data(static_cast<std::size_t>(random() % 400), 'x');
        for (char& byte : data)
            byte = alphabet[random() % sizeof alphabet];
        const std::size_t from = data.empty() ? 0 : random() % data.size();
        const std::size_t lineStart = from == 0 ? 0 : random() % (from + 1);
        const ScanResult expected = Scan(ScanWidth::Bytes, data, from, lineStart);
        for (ScanWidth width : {ScanWidth::Sse2, ScanWidth::Avx2}) {
            const ScanResult result = Scan(width, data, from, lineStart);
            EXPECT_EQ(result.data, expected.data) << round;
            EXPECT_EQ(result.ends, expected.ends) << round;
            EXPECT_EQ(result.lineStart, expected.lineStart) << round;
        }
    }
}

} // namespace

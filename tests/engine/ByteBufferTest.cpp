#include "engine/ByteBuffer.h"

#include <string>

#include <gtest/gtest.h>

namespace {

// Bytes written through Extend and Append survive every growth; Truncate keeps a prefix.
TEST(ByteBufferTest, BytesSurviveGrowthAndTruncation) {
    ByteBuffer buffer;
    std::string expected;
    for (int i = 0; i < 5000; ++i) {
        const std::string piece(static_cast<std::size_t>(i % 97), static_cast<char>('a' + i % 26));
        if (i % 2 == 0) {
            buffer.Append(piece);
        } else {
            // As a decoder does: room for more than it writes, then cut back.
            const std::size_t start = buffer.Size();
            char* room = buffer.Extend(piece.size() + 8);
            piece.copy(room, piece.size());
            buffer.Truncate(start + piece.size());
        }
        expected += piece;
        ASSERT_EQ(buffer.Size(), expected.size()) << i;
    }
    EXPECT_EQ(buffer.View(), expected);
    buffer.Truncate(10);
    EXPECT_EQ(buffer.View(), expected.substr(0, 10));
    buffer.Clear();
    EXPECT_TRUE(buffer.Empty());
    buffer.Append("again");
    EXPECT_EQ(buffer.View(), "again");
}

} // namespace

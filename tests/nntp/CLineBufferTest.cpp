#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "nntp/CLineBuffer.h"

using ::testing::ElementsAre;

namespace {

// Wire bytes of a short reply: a CR LF split is where line assembly goes wrong, a lone
// CR or LF must stay inside its line, a NUL must become a space.
const std::string kWire = std::string("222 0 <a@b> body\r\n") + "lone\rCR\r\n" + "lone\nLF\r\n" +
                          std::string("nul\0here\r\n", 10) + "\r\n" + "..\r\n" + ".\r\n" +
                          "unfinished";
const std::vector<std::string> kLines = {
    "222 0 <a@b> body", "lone\rCR", "lone\nLF", "nul here", "", "..", "."};

std::vector<std::string> Drain(CLineBuffer& buffer) {
    std::vector<std::string> lines;
    std::string line;
    while (buffer.TakeLine(line))
        lines.push_back(line);
    return lines;
}

TEST(CLineBufferTest, SameLinesWhereverTheBytesAreSplit) {
    for (std::size_t split = 0; split <= kWire.size(); ++split) {
        CLineBuffer buffer;
        std::vector<std::string> lines;
        buffer.Append(kWire.data(), split);
        for (const std::string& line : Drain(buffer))
            lines.push_back(line);
        buffer.Append(kWire.data() + split, kWire.size() - split);
        for (const std::string& line : Drain(buffer))
            lines.push_back(line);
        EXPECT_EQ(lines, kLines) << "split at " << split;
        EXPECT_EQ(buffer.Pending(), std::string("unfinished").size());
    }
}

TEST(CLineBufferTest, SameLinesOneByteAtATime) {
    CLineBuffer buffer;
    std::vector<std::string> lines;
    for (char byte : kWire) {
        buffer.Append(&byte, 1);
        for (const std::string& line : Drain(buffer))
            lines.push_back(line);
    }
    EXPECT_EQ(lines, kLines);
    buffer.Append("\r\n", 2);
    EXPECT_THAT(Drain(buffer), ElementsAre("unfinished"));
}

// Reads as the connection makes them: a reservation larger than what arrives, and only some
// of the complete lines taken before the next read (the delivery budget ran out). Lines of
// many lengths, some far larger than one read, must come out whole and in order.
TEST(CLineBufferTest, LinesStayWholeWhenReadsAndDeliveriesInterleave) {
    std::string wire;
    std::vector<std::string> sent;
    for (int i = 0; i < 3000; ++i) {
        std::string line(static_cast<std::size_t>((i * 37) % 200), static_cast<char>('a' + i % 26));
        if (i % 500 == 7)
            line.assign(300 * 1024, 'L'); // longer than the buffer's first storage
        if (!line.empty())
            line[0] = i % 3 == 0 ? '\r' : line[0]; // a CR that ends no line
        line += std::to_string(i);
        wire += line + "\r\n";
        sent.push_back(line);
    }
    CLineBuffer buffer;
    std::vector<std::string> taken;
    std::string line;
    std::size_t pos = 0;
    for (std::size_t round = 0; pos < wire.size(); ++round) {
        const std::size_t reserve = 1 + (round * 7919) % 70000;
        const std::size_t arrived =
            std::min({reserve, wire.size() - pos, 1 + (round * 104729) % reserve});
        char* target = buffer.Reserve(reserve);
        wire.copy(target, arrived, pos);
        buffer.Commit(arrived);
        pos += arrived;
        for (std::size_t n = round % 5; n > 0 && buffer.TakeLine(line); --n)
            taken.push_back(line);
    }
    while (buffer.TakeLine(line))
        taken.push_back(line);
    EXPECT_EQ(taken.size(), sent.size());
    EXPECT_TRUE(taken == sent);
    EXPECT_EQ(buffer.Pending(), 0u);
}

TEST(CLineBufferTest, OverlongLineIsFlaggedNotTaken) {
    CLineBuffer buffer;
    std::string chunk(4 * 1024 * 1024, 'x');
    for (std::size_t total = 0; total <= CLineBuffer::kMaxLineLength; total += chunk.size()) {
        EXPECT_FALSE(buffer.Overlong());
        buffer.Append(chunk.data(), chunk.size());
    }
    EXPECT_TRUE(buffer.Overlong());
    std::string line;
    EXPECT_FALSE(buffer.TakeLine(line));
    buffer.Clear();
    EXPECT_FALSE(buffer.Overlong());
}

// The connection hands out lines as views and keeps the storage pinned while the owner handles
// them: neither later reads nor a Clear (the owner closing the connection) may change them.
TEST(CLineBufferTest, PinnedLinesStayValidThroughLaterReadsAndClear) {
    CLineBuffer buffer;
    buffer.Append("first\r\nsecond\r\n", 15);
    const auto pin = buffer.Pin();
    std::string_view first, second;
    ASSERT_TRUE(buffer.NextLine(first));
    ASSERT_TRUE(buffer.NextLine(second));
    const std::string big = std::string(200000, 'x') + "\r\n";
    buffer.Append(big.data(), 10); // everything delivered: the front would be reused
    buffer.Append(big.data() + 10, big.size() - 10);
    buffer.Clear();
    buffer.Append("third\r\n", 7);
    EXPECT_EQ(first, "first");
    EXPECT_EQ(second, "second");
    std::string third;
    ASSERT_TRUE(buffer.TakeLine(third));
    EXPECT_EQ(third, "third");
}

} // namespace

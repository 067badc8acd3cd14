#include <gmock/gmock.h>
#include <gtest/gtest.h>

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

} // namespace

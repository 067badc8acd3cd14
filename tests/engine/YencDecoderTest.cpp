#include "engine/YencDecoder.h"
#include "support/YencEncoder.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::string ScalarDecode(std::string_view line) {
    std::string out(line.size(), '\0');
    out.resize(YdecodeDataLineScalar(line, out.data()));
    return out;
}

std::string PathDecode(const YdecodePath& path, std::string_view line) {
    std::string out(line.size() + kYdecodeOutSlack, '\0');
    out.resize(path.decode(line, out.data()));
    return out;
}

// Every decoder of this processor against the scalar one.
void ExpectAllPathsAgree(std::string_view line) {
    const std::string expected = ScalarDecode(line);
    for (const YdecodePath& path : YdecodePaths())
        ASSERT_EQ(PathDecode(path, line), expected)
            << path.name << " on " << line.size() << " characters";
}

TEST(YencDecoderTest, CharactersEscapesAndTrailingEscape) {
    EXPECT_EQ(ScalarDecode("*+,-"), std::string("\0\1\2\3", 4));
    // "=@" is byte 214 (its character would be NUL); "==" is an escaped "=" all the same.
    EXPECT_EQ(ScalarDecode("=@=J=M=}"), "\xD6\xE0\xE3\x13");
    EXPECT_EQ(ScalarDecode("*==+"), std::string("\0\xD3\1", 3));
    // A lone "=" at the end stands for nothing; an escaped "=" at the end does.
    EXPECT_EQ(ScalarDecode("*="), std::string("\0", 1));
    EXPECT_EQ(ScalarDecode("="), "");
    EXPECT_EQ(ScalarDecode("=="), "\xD3");
    EXPECT_EQ(ScalarDecode("==="), "\xD3");
    EXPECT_EQ(ScalarDecode(""), "");
}

TEST(YencDecoderTest, AppendsToWhatTheBufferHolds) {
    ByteBuffer out;
    out.Append("kept");
    EXPECT_EQ(YdecodeDataLine("+,=", out), 2u);
    EXPECT_EQ(YdecodeDataLine("", out), 0u);
    EXPECT_EQ(YdecodeDataLine("=n", out), 1u);
    EXPECT_EQ(out.View(), "kept\1\2\4");
}

// Lines of every length up to 300 with the "=" rarely (as in real yEnc), often, or in runs.
TEST(YencDecoderTest, VectorPathsEqualScalarOnRandomLines) {
    std::mt19937 random(20261208);
    for (const int percent : {0, 2, 10, 50, 90, 100}) {
        for (size_t length = 0; length <= 300; ++length) {
            for (int round = 0; round < 8; ++round) {
                std::string line(length, '\0');
                for (char& c : line)
                    c = static_cast<int>(random() % 100) < percent ? '='
                                                                   : static_cast<char>(random());
                ExpectAllPathsAgree(line);
            }
        }
    }
}

// An "=" or "==" at every place around the 16-, 32- and 64-character block edges, at the end
// of the line and one before it.
TEST(YencDecoderTest, EscapesAtBlockEdgesAndLineEnds) {
    for (size_t length = 1; length <= 140; ++length) {
        for (size_t at = 0; at < length; ++at) {
            for (const std::string_view escape : {"=", "==", "==="}) {
                std::string line(length, 'a');
                line.replace(at, std::min(escape.size(), length - at), escape);
                ExpectAllPathsAgree(line);
            }
        }
    }
}

TEST(YencDecoderTest, LongLine) {
    std::mt19937 random(7);
    std::string bytes(3 << 20, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    const std::vector<std::string> lines =
        YencEncodeLines(bytes, static_cast<int>(2 * bytes.size()));
    ASSERT_EQ(lines.size(), 1u);
    ByteBuffer out;
    EXPECT_EQ(YdecodeDataLine(lines.front(), out), bytes.size());
    EXPECT_EQ(out.View(), bytes);
    ExpectAllPathsAgree(lines.front());
}

// The test encoder's lines are what a conformant encoder writes and decode to the input.
TEST(YencDecoderTest, EncoderRoundTrip) {
    std::string bytes;
    for (int i = 0; i < 4; ++i)
        for (int c = 0; c < 256; ++c)
            bytes += static_cast<char>(c);
    std::mt19937 random(11);
    for (int i = 0; i < 5000; ++i)
        bytes += static_cast<char>(random());
    for (const int lineLength : {1, 2, 3, 61, 128, 997, 3000}) {
        ByteBuffer out;
        for (const std::string& line : YencEncodeLines(bytes, lineLength)) {
            ASSERT_GE(line.size(), 1u);
            ASSERT_LE(line.size(), static_cast<size_t>(lineLength) + 1);
            EXPECT_EQ(line.find_first_of(std::string("\0\r\n", 3)), std::string::npos);
            EXPECT_NE(line.front(), '.');
            for (const char edge : {line.front(), line.back()})
                EXPECT_TRUE(edge != ' ' && edge != '\t') << lineLength;
            YdecodeDataLine(line, out);
        }
        EXPECT_EQ(out.View(), bytes) << lineLength;
    }
}

} // namespace

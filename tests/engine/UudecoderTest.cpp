#include "engine/Uudecoder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace {

// "86)C" carries "abc"; "M" announces 45 bytes.
std::string Repeat(std::string_view text, int times) {
    std::string result;
    while (times-- > 0)
        result += text;
    return result;
}

TEST(UudecoderTest, FullLineAndStrippedTrailingCharacters) {
    const std::string line = "M" + Repeat("86)C", 15);
    std::string out = "kept ";
    ASSERT_EQ(UudecodeDataLine(line, out), UuLineResult::Data);
    EXPECT_EQ(out, "kept " + Repeat("abc", 15));
    // Two missing characters count as zero bits; three are an error.
    out.clear();
    ASSERT_EQ(UudecodeDataLine(line.substr(0, 59), out), UuLineResult::Data);
    EXPECT_EQ(out, Repeat("abc", 14) + std::string("a`\0", 3));
    out.clear();
    EXPECT_EQ(UudecodeDataLine(line.substr(0, 58), out), UuLineResult::Error);
    EXPECT_TRUE(out.empty());
    // Short lines: "#" needs three characters in all, "!" too.
    EXPECT_EQ(UudecodeDataLine("#86)C", out), UuLineResult::Data);
    EXPECT_EQ(UudecodeDataLine("!00", out), UuLineResult::Data);
    EXPECT_EQ(out, "abcA");
    EXPECT_EQ(UudecodeDataLine("!0", out), UuLineResult::Error);
}

// An encoder independent of the decoder: one sextet at a time from a bit stream, 0 written as
// the backquote.
std::string EncodeLine(std::string_view data) {
    std::string line(1, static_cast<char>(' ' + data.size()));
    for (std::size_t i = 0; i < data.size(); i += 3) {
        uint32_t bits = 0;
        for (std::size_t k = 0; k < 3; ++k)
            bits =
                (bits << 8) | (i + k < data.size() ? static_cast<unsigned char>(data[i + k]) : 0);
        for (int shift = 18; shift >= 0; shift -= 6) {
            const uint32_t sextet = (bits >> shift) & 0x3F;
            line += static_cast<char>(sextet == 0 ? '`' : ' ' + sextet);
        }
    }
    return line;
}

TEST(UudecoderTest, EveryByteAtEveryPositionOfEveryLength) {
    // Lengths up to the largest a length character can announce (63); every byte value
    // passes through every position of a line, so that each group of a line decodes its own
    // bytes and not a neighbour's.
    std::string data;
    for (int i = 0; i < 256 + 63; ++i)
        data += static_cast<char>((i * 7 + i / 256) & 0xFF);
    for (std::size_t length = 1; length <= 63; ++length) {
        for (std::size_t start = 0; start + length <= data.size(); start += 5) {
            const std::string_view bytes = std::string_view(data).substr(start, length);
            std::string out = "x";
            ASSERT_EQ(UudecodeDataLine(EncodeLine(bytes), out), UuLineResult::Data) << length;
            ASSERT_EQ(std::string_view(out).substr(1), bytes)
                << "length " << length << " at " << start;
            ASSERT_EQ(out[0], 'x') << "what was in the output before is kept";
        }
    }
    // A character and the one 64 above it carry the same six bits, data characters included
    // (some encoders write lowercase letters or bytes above 127).
    std::string shifted = Repeat("M", 1) + Repeat("86)C", 15);
    for (std::size_t i = 1; i < shifted.size(); i += 3)
        shifted[i] = static_cast<char>(shifted[i] + (i % 2 ? 64 : 128));
    std::string out;
    ASSERT_EQ(UudecodeDataLine(shifted, out), UuLineResult::Data);
    EXPECT_EQ(out, Repeat("abc", 15));
}

TEST(UudecoderTest, EndIgnoredAndInvalidLines) {
    std::string out;
    EXPECT_EQ(UudecodeDataLine("", out), UuLineResult::Ignored);
    EXPECT_EQ(UudecodeDataLine("`", out), UuLineResult::EndOfData);
    EXPECT_EQ(UudecodeDataLine(" anything", out), UuLineResult::EndOfData);
    // Length characters below the blank or above the backquote (computed lengths that are
    // negative or above 63), and lines too short for their length.
    for (const char* line : {"\x1F"
                             "abcd",
                             "\t", "a0000000000000000000000000000000000000", "\x7F",
                             "\xFF"
                             "AAAA",
                             "end", "M", "#8"}) {
        EXPECT_EQ(UudecodeDataLine(line, out), UuLineResult::Error) << line;
        EXPECT_FALSE(CouldBeUuencodedData(line)) << line;
    }
    EXPECT_TRUE(out.empty());
    EXPECT_TRUE(CouldBeUuencodedData("#86)C"));
    for (const char* line : {"", "`", " ", "_=_ Part 002 of 002 of file multi.bin"})
        EXPECT_FALSE(CouldBeUuencodedData(line)) << line;
}

TEST(UudecoderTest, BeginLines) {
    EXPECT_EQ(ParseBeginLine("begin 644 pic.jpg"), "pic.jpg");
    EXPECT_EQ(ParseBeginLine("begin 600 a.bin"), ParseBeginLine("begin 777 a.bin"));
    EXPECT_EQ(ParseBeginLine("begin 644 my holiday pic.jpg"), "my holiday pic.jpg");
    EXPECT_EQ(ParseBeginLine("begin 644  two blanks"), " two blanks");
    EXPECT_EQ(ParseBeginLine("begin  644 x"), "x");
    for (const char* none : {"begin 644", "begin 644 ", "begin ", "beginx 644 y"})
        EXPECT_EQ(ParseBeginLine(none), "") << none;
    const std::string longName(5000, 'n');
    EXPECT_EQ(ParseBeginLine("begin 644 " + longName), longName);
}

} // namespace

#include "engine/Uudecoder.h"

#include <gtest/gtest.h>

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

#include "engine/Uudecoder.h"

#include <gtest/gtest.h>

namespace {

char Encode6(unsigned bits) {
    return bits == 0 ? '`' : static_cast<char>(' ' + bits);
}

// One data line as the classic encoders write it (backquote for zero bits).
std::string EncodeLine(const std::string& bytes) {
    std::string line(1, Encode6(static_cast<unsigned>(bytes.size())));
    for (size_t i = 0; i < bytes.size(); i += 3) {
        unsigned char b[3] = {};
        for (size_t k = 0; k < 3 && i + k < bytes.size(); ++k)
            b[k] = static_cast<unsigned char>(bytes[i + k]);
        const unsigned bits = (b[0] << 16) | (b[1] << 8) | b[2];
        for (int shift = 18; shift >= 0; shift -= 6)
            line += Encode6((bits >> shift) & 0x3F);
    }
    return line;
}

std::string Bytes(size_t count, unsigned seed) {
    std::string bytes;
    for (size_t i = 0; i < count; ++i)
        bytes += static_cast<char>((i * 151 + seed * 7 + (i >> 2)) & 0xFF);
    return bytes;
}

TEST(UudecoderTest, EveryLineLengthRoundTrips) {
    for (size_t count = 1; count <= 63; ++count) {
        const std::string bytes = Bytes(count, static_cast<unsigned>(count));
        std::string out = "kept";
        ASSERT_EQ(UudecodeDataLine(EncodeLine(bytes), out), UuLineResult::Data) << count;
        EXPECT_EQ(out, "kept" + bytes) << count;
    }
}

TEST(UudecoderTest, FullLineWithStrippedTrailingCharacters) {
    const std::string bytes = Bytes(45, 1);
    std::string line = EncodeLine(bytes);
    ASSERT_EQ(line.size(), 61u); // 'M' and 60 characters
    std::string out;
    ASSERT_EQ(UudecodeDataLine(line, out), UuLineResult::Data);
    EXPECT_EQ(out.size(), 45u);

    // Missing characters count as zero bits, like blanks or backquotes.
    line.replace(59, 2, "``");
    const std::string expected = (out.clear(), UudecodeDataLine(line, out), out);
    for (size_t keep : {60u, 59u}) {
        out.clear();
        ASSERT_EQ(UudecodeDataLine(line.substr(0, keep), out), UuLineResult::Data) << keep;
        EXPECT_EQ(out, expected) << keep;
    }
    out.clear();
    EXPECT_EQ(UudecodeDataLine(line.substr(0, 58), out), UuLineResult::Error);
    EXPECT_TRUE(out.empty());
    // A short line near a buffer end: the decoder never reads past the view.
    const std::string exact = line.substr(0, 59);
    EXPECT_EQ(UudecodeDataLine(std::string_view(exact.data(), exact.size()), out),
              UuLineResult::Data);
}

TEST(UudecoderTest, EndIgnoredAndInvalidLines) {
    std::string out;
    EXPECT_EQ(UudecodeDataLine("", out), UuLineResult::Ignored);
    EXPECT_EQ(UudecodeDataLine("`", out), UuLineResult::EndOfData);
    EXPECT_EQ(UudecodeDataLine(" ", out), UuLineResult::EndOfData);
    EXPECT_EQ(UudecodeDataLine(" anything", out), UuLineResult::EndOfData);
    // Length characters outside blank..backquote: control bytes, lower case, bytes above 127.
    for (const char* line : {"\x1F"
                             "abcd",
                             "\t",
                             "a"
                             "0000000000000000000000000000000000000",
                             "\x7F",
                             "\xFF"
                             "AAAA",
                             "~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~", "end", "M", "!", "#"}) {
        EXPECT_EQ(UudecodeDataLine(line, out), UuLineResult::Error) << line;
        EXPECT_FALSE(CouldBeUuencodedData(line)) << line;
    }
    EXPECT_TRUE(out.empty());
    // "!" needs two characters after it ((1 + 2) / 3 * 4 - 1 = 3 in all).
    EXPECT_EQ(UudecodeDataLine("!0", out), UuLineResult::Error);
    EXPECT_EQ(UudecodeDataLine("!00", out), UuLineResult::Data);
    EXPECT_EQ(out, "A");
}

TEST(UudecoderTest, CouldBeDataAgreesWithTheDecoder) {
    for (const char* line : {"M", "_=_ Part 002 of 002 of file multi.bin", "end", "", "`", " ",
                             "begin 644 x", "%HA9EY80`", "#86)C"}) {
        std::string out;
        EXPECT_EQ(CouldBeUuencodedData(line), UudecodeDataLine(line, out) == UuLineResult::Data)
            << line;
    }
    EXPECT_TRUE(CouldBeUuencodedData("#86)C"));
}

TEST(UudecoderTest, BeginLines) {
    EXPECT_EQ(ParseBeginLine("begin 644 pic.jpg"), "pic.jpg");
    EXPECT_EQ(ParseBeginLine("begin 600 a.bin"), ParseBeginLine("begin 777 a.bin"));
    EXPECT_EQ(ParseBeginLine("begin 644 my holiday pic.jpg"), "my holiday pic.jpg");
    EXPECT_EQ(ParseBeginLine("begin  644 x"), "x");
    EXPECT_EQ(ParseBeginLine("begin 644  two blanks"), " two blanks");
    EXPECT_EQ(ParseBeginLine("begin 644"), "");
    EXPECT_EQ(ParseBeginLine("begin 644 "), "");
    EXPECT_EQ(ParseBeginLine("begin "), "");
    EXPECT_EQ(ParseBeginLine("beginx 644 y"), "");
    EXPECT_EQ(ParseBeginLine("begin 644 ../../x"), "../../x"); // cut by the output file's rules
    const std::string longName(5000, 'n');
    EXPECT_EQ(ParseBeginLine("begin 644 " + longName), longName);
}

} // namespace

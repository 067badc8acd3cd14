#include "engine/Uudecoder.h"
#include "tests/engine/UudecoderReference.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
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
    ByteBuffer out;
    out.Append("kept ");
    ASSERT_EQ(UudecodeDataLine(line, out), UuLineResult::Data);
    EXPECT_EQ(out.View(), "kept " + Repeat("abc", 15));
    // Two missing characters count as zero bits; three are an error.
    out.Clear();
    ASSERT_EQ(UudecodeDataLine(line.substr(0, 59), out), UuLineResult::Data);
    EXPECT_EQ(out.View(), Repeat("abc", 14) + std::string("a`\0", 3));
    out.Clear();
    EXPECT_EQ(UudecodeDataLine(line.substr(0, 58), out), UuLineResult::Error);
    EXPECT_TRUE(out.Empty());
    // Short lines: "#" needs three characters in all, "!" too.
    EXPECT_EQ(UudecodeDataLine("#86)C", out), UuLineResult::Data);
    EXPECT_EQ(UudecodeDataLine("!00", out), UuLineResult::Data);
    EXPECT_EQ(out.View(), "abcA");
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
            ByteBuffer out;
            out.Append("x");
            ASSERT_EQ(UudecodeDataLine(EncodeLine(bytes), out), UuLineResult::Data) << length;
            ASSERT_EQ(out.View().substr(1), bytes) << "length " << length << " at " << start;
            ASSERT_EQ(out.View()[0], 'x') << "what was in the output before is kept";
        }
    }
    // A character and the one 64 above it carry the same six bits, data characters included
    // (some encoders write lowercase letters or bytes above 127).
    std::string shifted = Repeat("M", 1) + Repeat("86)C", 15);
    for (std::size_t i = 1; i < shifted.size(); i += 3)
        shifted[i] = static_cast<char>(shifted[i] + (i % 2 ? 64 : 128));
    ByteBuffer out;
    ASSERT_EQ(UudecodeDataLine(shifted, out), UuLineResult::Data);
    EXPECT_EQ(out.View(), Repeat("abc", 15));
}

// A line in a heap block of exactly its length, so that AddressSanitizer reports any read
// past its end (a std::string would have its terminator there).
class ExactLine {
  public:
    explicit ExactLine(std::string_view text)
        : m_data(std::make_unique<char[]>(text.size())), m_size(text.size()) {
        if (m_size > 0)
            std::memcpy(m_data.get(), text.data(), m_size);
    }
    std::string_view View() const { return {m_data.get(), m_size}; }

  private:
    std::unique_ptr<char[]> m_data;
    std::size_t m_size;
};

TEST(UudecoderTest, AgreesWithTheReferenceOnEveryLengthAndLengthCharacter) {
    // Every length character on lines of 0 to 100 characters of random bytes, high ones
    // included, covers lines too short, a last group one or two characters short, whole
    // groups in and around every block of the wide decoders, and characters beyond the
    // groups; all of it appended to outputs of different sizes.
    std::mt19937 random(1234);
    std::uniform_int_distribution<int> anyByte(0, 255);
    const std::string prefixes[] = {"", "x", std::string(100, 'p')};
    for (int round = 0; round < 3; ++round) {
        for (std::size_t length = 0; length <= 100; ++length) {
            for (int first = 0; first < 256; ++first) {
                std::string text(length, '\0');
                for (char& c : text)
                    c = static_cast<char>(anyByte(random));
                if (length > 0)
                    text[0] = static_cast<char>(first);
                const ExactLine line(text);
                std::string expected = prefixes[(length + first) % 3];
                ByteBuffer decoded;
                decoded.Append(expected);
                const UuLineResult result = ReferenceUudecodeDataLine(line.View(), expected);
                ASSERT_EQ(UudecodeDataLine(line.View(), decoded), result)
                    << "length " << length << ", first " << first;
                ASSERT_EQ(decoded.View(), expected) << "length " << length << ", first " << first;
                ASSERT_EQ(CouldBeUuencodedData(line.View()), result == UuLineResult::Data);
            }
        }
    }
}

TEST(UudecoderTest, FullLinesInARowIntoOneOutput) {
    // The usual case: 45-byte lines one after another into one growing output, the last one
    // two characters short (stripped trailing blanks).
    std::mt19937 random(99);
    std::uniform_int_distribution<int> dataChar(' ', '`');
    std::string expected;
    ByteBuffer decoded;
    for (int i = 0; i < 2000; ++i) {
        std::string text = "M";
        for (int k = 0; k < 60; ++k)
            text += static_cast<char>(dataChar(random));
        if (i == 1999)
            text.resize(59);
        const ExactLine line(text);
        ASSERT_EQ(ReferenceUudecodeDataLine(line.View(), expected), UuLineResult::Data);
        ASSERT_EQ(UudecodeDataLine(line.View(), decoded), UuLineResult::Data) << i;
    }
    EXPECT_EQ(decoded.Size(), 2000u * 45);
    EXPECT_EQ(decoded.View(), expected);
}

TEST(UudecoderTest, EndIgnoredAndInvalidLines) {
    ByteBuffer out;
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
    EXPECT_TRUE(out.Empty());
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

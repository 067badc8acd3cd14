#include "engine/Base64Decoder.h"

#include <gtest/gtest.h>

namespace {

std::string Decode(std::initializer_list<std::string_view> lines) {
    Base64Decoder decoder;
    std::string out;
    for (std::string_view line : lines)
        decoder.DecodeLine(line, out);
    return out;
}

std::string Encode(const std::string& bytes) {
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const size_t n = std::min<size_t>(3, bytes.size() - i);
        unsigned bits = 0;
        for (size_t k = 0; k < 3; ++k)
            bits = (bits << 8) | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0);
        for (size_t k = 0; k < 4; ++k)
            text += k <= n ? kAlphabet[(bits >> (18 - 6 * k)) & 0x3F] : '=';
    }
    return text;
}

TEST(Base64DecoderTest, TableHoldsTheAlphabetOnly) {
    const int32_t* table = Base64Decoder::Table();
    EXPECT_EQ(table[static_cast<unsigned char>('A')], 0);
    EXPECT_EQ(table[static_cast<unsigned char>('a')], 26);
    EXPECT_EQ(table[static_cast<unsigned char>('0')], 52);
    EXPECT_EQ(table[static_cast<unsigned char>('+')], 62);
    EXPECT_EQ(table[static_cast<unsigned char>('/')], 63);
    int valid = 0;
    for (int c = 0; c < 256; ++c)
        valid += table[c] >= 0;
    EXPECT_EQ(valid, 64);
    EXPECT_EQ(table[static_cast<unsigned char>('=')], -1);
    for (int c = 128; c < 256; ++c)
        EXPECT_EQ(table[c], -1) << c;
}

TEST(Base64DecoderTest, PaddingAndStops) {
    EXPECT_EQ(Decode({"QQ=="}), "A");
    EXPECT_EQ(Decode({"QUI="}), "AB");
    EXPECT_EQ(Decode({"QUJD"}), "ABC");
    EXPECT_EQ(Decode({"QQ="}), "A");
    // Decoding stops at the padding: the rest of the line is dropped.
    EXPECT_EQ(Decode({"QQ==QUJD"}), "A");
    // A blank in the data ends the line's decoding; nothing is carried past it.
    EXPECT_EQ(Decode({"QUJD QUJD", "RA=="}), "ABCD");
    EXPECT_EQ(Decode({"QU JD", "QUJD"}), "ABC");
    // "=" in the first or second place, bytes above 127: invalid, nothing decoded.
    EXPECT_EQ(Decode({"=QUJ"}), "");
    EXPECT_EQ(Decode({"Q=JD"}), "");
    EXPECT_EQ(Decode({"QU\xC2\xA0JD"}), "");
    EXPECT_EQ(Decode({"", "QUJD"}), "ABC");
}

TEST(Base64DecoderTest, GroupsCarriedOverLines) {
    // Three characters at the end of one line, the fourth on the next.
    EXPECT_EQ(Decode({"QUJDRE", "VG"}), "ABCDEF");
    EXPECT_EQ(Decode({"QUJDREV", "GRw=="}), "ABCDEFG");
    EXPECT_EQ(Decode({"Q", "U", "J", "D"}), "ABC");
    EXPECT_EQ(Decode({"QQ", "=="}), "A");
    // A carried group is dropped when the next line starts with an invalid character.
    EXPECT_EQ(Decode({"QUJDQU", "-JD", "QUJD"}), "ABCABC");

    Base64Decoder decoder;
    std::string out;
    decoder.DecodeLine("QUJDQU", out);
    decoder.Reset();
    decoder.DecodeLine("QUJD", out);
    EXPECT_EQ(out, "ABCABC");
}

TEST(Base64DecoderTest, EverySplitPointGivesTheSameBytes) {
    std::string bytes;
    for (int i = 0; i < 200; ++i)
        bytes += static_cast<char>((i * 97 + 13) & 0xFF);
    for (size_t size : {198u, 199u, 200u}) {
        const std::string original = bytes.substr(0, size);
        const std::string text = Encode(original);
        for (size_t a = 0; a <= text.size(); ++a) {
            EXPECT_EQ(Decode({text.substr(0, a), text.substr(a)}), original) << size << " " << a;
            for (size_t b = a; b <= std::min(text.size(), a + 9); ++b) {
                ASSERT_EQ(Decode({text.substr(0, a), text.substr(a, b - a), text.substr(b)}),
                          original)
                    << size << " " << a << " " << b;
            }
        }
        std::string out;
        Base64Decoder decoder;
        for (char c : text)
            decoder.DecodeLine(std::string_view(&c, 1), out);
        EXPECT_EQ(out, original);
    }
}

} // namespace

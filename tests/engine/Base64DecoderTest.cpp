#include "engine/Base64Decoder.h"

#include <gtest/gtest.h>

namespace {

std::string Decode(std::initializer_list<std::string_view> lines) {
    Base64Decoder decoder;
    ByteBuffer out;
    for (std::string_view line : lines)
        decoder.DecodeLine(line, out);
    return std::string(out.View());
}

TEST(Base64DecoderTest, TableHoldsTheAlphabetOnly) {
    const int32_t* table = Base64Decoder::Table();
    int valid = 0;
    for (int c = 0; c < 256; ++c)
        valid += table[c] >= 0;
    EXPECT_EQ(valid, 64);
    EXPECT_EQ(table[int{'A'}] + table[int{'a'}] + table[int{'0'}], 0 + 26 + 52);
    EXPECT_EQ(table[int{'+'}] * 100 + table[int{'/'}], 6263);
    EXPECT_EQ(table[int{'='}], -1);
    EXPECT_EQ(table[0xC1], -1); // bytes above 127 are never data
}

TEST(Base64DecoderTest, PaddingAndInvalidCharactersEndTheLine) {
    EXPECT_EQ(Decode({"QQ=="}), "A");
    EXPECT_EQ(Decode({"QUI="}), "AB");
    EXPECT_EQ(Decode({"QQ==QUJD"}), "A");
    // A blank in the data: decoding stops there and nothing is carried past it.
    EXPECT_EQ(Decode({"QUJD QUJD", "RA=="}), "ABCD");
    EXPECT_EQ(Decode({"QU JD", "QUJD"}), "ABC");
    EXPECT_EQ(Decode({"=QUJ", "Q=JD", "QU\xC2\xA0JD"}), "");
}

TEST(Base64DecoderTest, GroupsCarriedOverLines) {
    EXPECT_EQ(Decode({"QUJDREV", "GRw=="}), "ABCDEFG");
    EXPECT_EQ(Decode({"QQ", "=="}), "A");
    EXPECT_EQ(Decode({"QUJDQU", "-JD", "QUJD"}), "ABCABC");
    Base64Decoder decoder;
    ByteBuffer out;
    decoder.DecodeLine("QUJDQU", out);
    decoder.Reset();
    decoder.DecodeLine("QUJD", out);
    EXPECT_EQ(out.View(), "ABCABC");

    // Split at every point, and one character per line: always the same bytes.
    const std::string text = "VGhlIHF1aWNrIGJyb3duIGZveCBqdW1wcyBvdmVyIHRoZSBsYXp5IGRvZy77/78+ISE=";
    const std::string expected = "The quick brown fox jumps over the lazy dog.\xFB\xFF\xBF>!!";
    for (size_t at = 0; at <= text.size(); ++at)
        EXPECT_EQ(Decode({std::string_view(text).substr(0, at), std::string_view(text).substr(at)}),
                  expected)
            << at;
    decoder.Reset();
    out.Clear();
    for (const char& c : text)
        decoder.DecodeLine(std::string_view(&c, 1), out);
    EXPECT_EQ(out.View(), expected);
}

} // namespace

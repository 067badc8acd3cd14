#include "engine/YencKeywordLines.h"

#include <gtest/gtest.h>

namespace {

TEST(YencKeywordLinesTest, EncodersBeginLines) {
    // uuenview, single and multi-part.
    auto begin = ParseYbeginLine("=ybegin line=128 size=20000 name=t.bin");
    ASSERT_TRUE(begin);
    EXPECT_FALSE(begin->part);
    EXPECT_FALSE(begin->total);
    EXPECT_EQ(begin->line, 128);
    EXPECT_EQ(begin->size, 20000u);
    EXPECT_EQ(begin->name, "t.bin");
    begin = ParseYbeginLine("=ybegin part=2 total=3 line=128 size=20000 name=yenc-multi.bin");
    ASSERT_TRUE(begin);
    EXPECT_EQ(begin->part, 2);
    EXPECT_EQ(begin->total, 3);
    // Another order, extra blanks and tabs, no line=, an unknown key.
    begin = ParseYbeginLine("=ybegin  size=5\ttotal=1 part=1  crc=x name=a.bin");
    ASSERT_TRUE(begin);
    EXPECT_EQ(begin->line, 0);
    EXPECT_EQ(begin->size, 5u);
    EXPECT_EQ(begin->part, 1);
}

TEST(YencKeywordLinesTest, NameTakesTheRestOfTheLine) {
    auto begin = ParseYbeginLine("=ybegin line=128 size=9 name=  my file = size=3 .bin  ");
    ASSERT_TRUE(begin);
    EXPECT_EQ(begin->name, "my file = size=3 .bin");
    EXPECT_EQ(begin->size, 9u);
    begin = ParseYbeginLine("=ybegin size=9 name=name=x");
    ASSERT_TRUE(begin);
    EXPECT_EQ(begin->name, "name=x");
    // No name, an empty one, or "name=" inside another word.
    EXPECT_FALSE(ParseYbeginLine("=ybegin line=128 size=9"));
    EXPECT_FALSE(ParseYbeginLine("=ybegin line=128 size=9 name=   "));
    EXPECT_FALSE(ParseYbeginLine("=ybegin line=128 size=9 filename=x"));
}

TEST(YencKeywordLinesTest, InvalidBeginLines) {
    EXPECT_FALSE(ParseYbeginLine("=ybegin line=128 name=x"));      // no size=
    EXPECT_FALSE(ParseYbeginLine("=ybegin filesize=3 name=x"));    // size= in a word
    EXPECT_FALSE(ParseYbeginLine("=ybegin size=3 size=3 name=x")); // twice
    EXPECT_FALSE(ParseYbeginLine("=ybegin size=3x name=x"));       // malformed
    EXPECT_FALSE(ParseYbeginLine("=ybegin size= name=x"));         // empty
    EXPECT_FALSE(ParseYbeginLine("=ybegin size=-3 name=x"));       // signed
    EXPECT_FALSE(ParseYbeginLine("=ybegin size=+3 name=x"));       // signed
    EXPECT_FALSE(ParseYbeginLine("=ybegin part=x size=3 name=x")); // optional, malformed
    EXPECT_FALSE(ParseYbeginLine("=ybegin size=18446744073709551616 name=x")); // 2^64
    EXPECT_FALSE(ParseYbeginLine("=ybegin part=9223372036854775808 size=1 name=x"));
    EXPECT_FALSE(ParseYbeginLine("=ybeginsize=3 name=x"));
    EXPECT_FALSE(ParseYbeginLine("=ybegin2 size=3 name=x"));
    EXPECT_FALSE(ParseYbeginLine(" =ybegin size=3 name=x"));
    // The largest values pass.
    const auto begin =
        ParseYbeginLine("=ybegin part=9223372036854775807 size=18446744073709551615 name=x");
    ASSERT_TRUE(begin);
    EXPECT_EQ(begin->size, 18446744073709551615u);
    EXPECT_EQ(begin->part, INT64_MAX);
}

TEST(YencKeywordLinesTest, PartLines) {
    auto part = ParseYpartLine("=ypart begin=1 end=7000");
    ASSERT_TRUE(part);
    EXPECT_EQ(part->begin, 1u);
    EXPECT_EQ(part->end, 7000u);
    part = ParseYpartLine("=ypart  end=7 \tbegin=8 ");
    ASSERT_TRUE(part); // empty part
    EXPECT_EQ(part->begin, 8u);
    EXPECT_FALSE(ParseYpartLine("=ypart begin=8 end=6"));
    EXPECT_FALSE(ParseYpartLine("=ypart begin=0 end=6"));
    EXPECT_FALSE(ParseYpartLine("=ypart begin=1"));
    EXPECT_FALSE(ParseYpartLine("=ypart end=1"));
    EXPECT_FALSE(ParseYpartLine("=ypart begin=1 end=2 end=2"));
    EXPECT_FALSE(ParseYpartLine("=ypart begin=1 end=0x10"));
    EXPECT_FALSE(ParseYpartLine("=ypart rebegin=1 end=1"));
}

TEST(YencKeywordLinesTest, EndLines) {
    // uuenview's single-part line and a multi-part one as posters write it.
    auto end = ParseYendLine("=yend size=20000 crc32=4e31be2c");
    ASSERT_TRUE(end);
    EXPECT_EQ(end->size, 20000u);
    EXPECT_FALSE(end->part);
    EXPECT_FALSE(end->pcrc32);
    EXPECT_EQ(end->crc32, 0x4e31be2cu);
    end = ParseYendLine("=yend size=7000 part=1 pcrc32=0000ABCD crc32=1");
    ASSERT_TRUE(end);
    EXPECT_EQ(end->part, 1);
    EXPECT_EQ(end->pcrc32, 0xABCDu);
    EXPECT_EQ(end->crc32, 1u);
    end = ParseYendLine("=yend   size=0 ");
    ASSERT_TRUE(end);
    EXPECT_EQ(end->size, 0u);
    // pcrc32= is not crc32=.
    end = ParseYendLine("=yend size=1 pcrc32=ff");
    ASSERT_TRUE(end);
    EXPECT_FALSE(end->crc32);

    EXPECT_FALSE(ParseYendLine("=yend crc32=4e31be2c"));
    EXPECT_FALSE(ParseYendLine("=yend size=1 crc32=123456789")); // nine digits
    EXPECT_FALSE(ParseYendLine("=yend size=1 crc32="));
    EXPECT_FALSE(ParseYendLine("=yend size=1 crc32=12g4"));
    EXPECT_FALSE(ParseYendLine("=yend size=1 crc32=0x12"));
    EXPECT_FALSE(ParseYendLine("=yend size=1 pcrc32=1 pcrc32=1"));
    EXPECT_FALSE(ParseYendLine("=yend"));
}

} // namespace

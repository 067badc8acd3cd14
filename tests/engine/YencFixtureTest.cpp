// yEnc articles made by real encoders and by hand (tests/fixtures/articles, see
// make-fixtures.sh): their data lines decoded with the line decoder and checked against the
// originals and against their own =yend lines.
#include "engine/Crc32.h"
#include "engine/YencDecoder.h"
#include "engine/YencKeywordLines.h"

#include "ArticleFixtures.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

using fixtures::kFolder;
using fixtures::ReadFile;

struct YencArticle {
    std::optional<YencBegin> begin;
    std::optional<YencPartRange> part;
    std::optional<YencEnd> end;
    std::string bytes;
    uint32_t crc = 0;
};

// The body's =ybegin line, its =ypart line when the file is in parts, the data lines and the
// =yend line.
YencArticle DecodeArticle(const std::string& fileName) {
    std::istringstream lines(ReadFile(kFolder + fileName));
    std::string line;
    while (std::getline(lines, line) && !line.empty()) {
    }
    YencArticle article;
    while (!article.begin && std::getline(lines, line))
        article.begin = ParseYbeginLine(line);
    if (article.begin && article.begin->part && std::getline(lines, line))
        article.part = ParseYpartLine(line);
    ByteBuffer out;
    while (std::getline(lines, line) && !line.starts_with("=yend "))
        YdecodeDataLine(line, out);
    article.end = ParseYendLine(line);
    article.bytes = out.View();
    article.crc = Crc32Update(0, out.Data(), out.Size());
    return article;
}

std::string Original(const std::string& name) {
    return ReadFile(kFolder + "originals/" + name);
}

TEST(YencFixtureTest, SingleArticles) {
    const std::pair<const char*, const char*> articles[] = {{"yenc-single.art", "yenc-single.bin"},
                                                            {"yenc-saby-128.art", "yenc-saby.bin"},
                                                            {"yenc-saby-997.art", "yenc-saby.bin"},
                                                            {"yenc-edges.art", "yenc-edges.bin"}};
    for (const auto& [fileName, originalName] : articles) {
        SCOPED_TRACE(fileName);
        const YencArticle article = DecodeArticle(fileName);
        ASSERT_TRUE(article.begin);
        ASSERT_TRUE(article.end);
        EXPECT_EQ(article.begin->name, originalName);
        EXPECT_EQ(article.bytes, Original(originalName));
        EXPECT_EQ(article.begin->size, article.bytes.size());
        EXPECT_EQ(article.end->size, article.bytes.size());
        EXPECT_EQ(article.end->crc32, article.crc);
    }
}

// Each part is its range of the file with its own CRC; the parts' CRCs combine into the
// file's, which the last part gives.
TEST(YencFixtureTest, MultiPartArticles) {
    const std::string original = Original("yenc-multi.bin");
    uint32_t combined = 0;
    std::optional<uint32_t> fileCrc;
    for (int number = 1; number <= 3; ++number) {
        SCOPED_TRACE(number);
        const YencArticle article =
            DecodeArticle("yenc-multi-" + std::to_string(number) + "of3.art");
        ASSERT_TRUE(article.begin && article.part && article.end);
        EXPECT_EQ(article.begin->part, number);
        EXPECT_EQ(article.end->part, number);
        EXPECT_EQ(article.begin->size, original.size());
        EXPECT_EQ(article.bytes, original.substr(article.part->begin - 1,
                                                 article.part->end - article.part->begin + 1));
        EXPECT_EQ(article.end->size, article.bytes.size());
        EXPECT_EQ(article.end->pcrc32, article.crc);
        combined = Crc32Combine(combined, article.crc, article.bytes.size());
        fileCrc = article.end->crc32;
    }
    EXPECT_EQ(fileCrc, combined);
    EXPECT_EQ(combined, Crc32Update(0, original.data(), original.size()));
}

// The broken articles decode as the good ones; only their keyword lines disagree.
TEST(YencFixtureTest, KeywordLinesThatDisagreeWithTheData) {
    const std::string single = Original("yenc-single.bin");
    const YencArticle badCrc = DecodeArticle("yenc-bad-crc.art");
    ASSERT_TRUE(badCrc.end);
    EXPECT_EQ(badCrc.bytes, single);
    EXPECT_EQ(badCrc.end->size, single.size());
    EXPECT_NE(badCrc.end->crc32, badCrc.crc);

    const YencArticle badSize = DecodeArticle("yenc-bad-size.art");
    ASSERT_TRUE(badSize.end);
    EXPECT_EQ(badSize.bytes, single);
    EXPECT_EQ(badSize.end->crc32, badSize.crc);
    EXPECT_NE(badSize.end->size, single.size());

    const YencArticle badRange = DecodeArticle("yenc-multi-2of3-bad-range.art");
    ASSERT_TRUE(badRange.part && badRange.end);
    EXPECT_EQ(badRange.bytes, DecodeArticle("yenc-multi-2of3.art").bytes);
    EXPECT_EQ(badRange.end->size, badRange.bytes.size());
    EXPECT_EQ(badRange.end->pcrc32, badRange.crc);
    EXPECT_NE(badRange.part->end - badRange.part->begin + 1, badRange.bytes.size());
}

} // namespace

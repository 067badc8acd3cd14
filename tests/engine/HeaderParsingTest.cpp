#include "engine/HeaderParsing.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

struct ContentType {
    std::string type, name, boundary;
};

ContentType Parse(std::string_view line) {
    ContentType result;
    ParseContentType(line, result.type, result.name, result.boundary);
    return result;
}

TEST(HeaderParsingTest, ContentTypeParameters) {
    ContentType c = Parse("Content-Type: image/gif; name=\"a b.gif\"");
    EXPECT_EQ(c.type, "image/gif");
    EXPECT_EQ(c.name, "a b.gif");
    EXPECT_EQ(c.boundary, "");

    c = Parse("Content-Type: multipart/mixed; boundary=\"-\"");
    EXPECT_EQ(c.type, "multipart/mixed");
    EXPECT_EQ(c.boundary, "---");

    // Only one blank is dropped: the parameter is " boundary", not "boundary".
    EXPECT_EQ(Parse("Content-Type: multipart/mixed;  boundary=x").boundary, "");
    // Empty pieces are skipped, pieces without "=" ignored, names are case-sensitive, the
    // last occurrence wins, the type keeps its case.
    c = Parse("Content-Type: ;;Image/GIF;;junk; Name=a; name=b; name=c.gif;");
    EXPECT_EQ(c.type, "Image/GIF");
    EXPECT_EQ(c.name, "c.gif");
    // The value splits at the first "=" only.
    EXPECT_EQ(Parse("Content-Type: a/b; name=x=y").name, "x=y");
}

TEST(HeaderParsingTest, ContentTypeLeavesWhatTheLineLacks) {
    std::string type = "old", name = "old", boundary = "old";
    ParseContentType("Content-Type: ", type, name, boundary);
    ParseContentType("Content-Type: ;;;", type, name, boundary);
    EXPECT_EQ(type + name + boundary, "oldoldold");
    // A lone quote gives an empty value, not a read before or after it.
    ParseContentType("Content-Type: a/b; name=\"", type, name, boundary);
    EXPECT_EQ(name, "");
}

TEST(HeaderParsingTest, ContentTypeValuesOfAnyLength) {
    const std::string longName(5000, 'n');
    const std::string longType = "application/" + std::string(3000, 't');
    const ContentType c =
        Parse("Content-Type: " + longType + "; name=\"" + longName + "\"; boundary=" + longName);
    EXPECT_EQ(c.type, longType);
    EXPECT_EQ(c.name, longName);
    EXPECT_EQ(c.boundary, "--" + longName);
}

TEST(HeaderParsingTest, Replies) {
    for (const char* reply : {"Re: pic.jpg (1/2)", "re:x", "RE:x", "rE:"})
        EXPECT_TRUE(IsReply(reply)) << reply;
    for (const char* other : {"Re :x", "Re^2: x", " Re: x", "Re", "", "Fwd: Re: x"})
        EXPECT_FALSE(IsReply(other)) << other;
}

TEST(HeaderParsingTest, DecimalPrefixLikeAtoiWithoutOverflow) {
    EXPECT_EQ(ParseDecimalPrefix("1234"), 1234);
    EXPECT_EQ(ParseDecimalPrefix(" \t+42 lines"), 42);
    EXPECT_EQ(ParseDecimalPrefix("-5"), -5);
    EXPECT_EQ(ParseDecimalPrefix("abc"), 0);
    EXPECT_EQ(ParseDecimalPrefix(""), 0);
    EXPECT_EQ(ParseDecimalPrefix("- 5"), 0);
    EXPECT_EQ(ParseDecimalPrefix("2147483647"), INT_MAX);
    EXPECT_EQ(ParseDecimalPrefix("-2147483648"), INT_MIN);
    EXPECT_EQ(ParseDecimalPrefix("2147483648"), INT_MAX);
    EXPECT_EQ(ParseDecimalPrefix("-99999999999999999999999"), INT_MIN);
    EXPECT_EQ(ParseDecimalPrefix(std::string(10000, '9')), INT_MAX);
}

TEST(HeaderParsingTest, DotStuffing) {
    EXPECT_EQ(StripDotStuffing(".."), ".");
    EXPECT_EQ(StripDotStuffing("..M123"), ".M123");
    EXPECT_EQ(StripDotStuffing("."), ".");
    EXPECT_EQ(StripDotStuffing(".x"), ".x");
    EXPECT_EQ(StripDotStuffing(""), "");
}

TEST(HeaderParsingTest, ContentDisposition) {
    std::string name = "unchanged";
    EXPECT_FALSE(ParseContentDisposition("Content-Disposition: attachment", name));
    EXPECT_FALSE(ParseContentDisposition("Content-disposition: inline; filename=x", name));
    EXPECT_FALSE(ParseContentDisposition("Content-Disposition: form-data; filename=x", name));
    EXPECT_EQ(name, "unchanged");

    const std::pair<const char*, const char*> cases[] = {
        {"Content-Disposition: attachment; filename=\"a b.jpg\"; size=3", "a b.jpg"},
        {"Content-Disposition: inline; filename=  plain.gif; size=3", "plain.gif"},
        {"Content-Disposition: inline; filename=\"unterminated.gif", "unterminated.gif"},
        {"Content-Disposition: inline; filename=", ""},
        {"Content-Disposition: inline; filename=\"", ""},
    };
    for (const auto& [line, expected] : cases) {
        ASSERT_TRUE(ParseContentDisposition(line, name)) << line;
        EXPECT_EQ(name, expected) << line;
    }
    const std::string longName(3000, 'f');
    ASSERT_TRUE(ParseContentDisposition(
        "Content-Disposition: inline; filename=\"" + longName + "\"", name));
    EXPECT_EQ(name, longName);
}

TEST(HeaderParsingTest, RawTransferEncodingIsExact) {
    EXPECT_TRUE(IsRawTransferEncoding("Content-Transfer-Encoding: 7bit"));
    EXPECT_TRUE(IsRawTransferEncoding("Content-Transfer-Encoding: 8bit"));
    for (const char* other :
         {"Content-Transfer-Encoding: 7BIT", "Content-Transfer-Encoding: 7bit ",
          "Content-Transfer-Encoding: base64", "Content-Transfer-Encoding:  8bit"})
        EXPECT_FALSE(IsRawTransferEncoding(other)) << other;
}

} // namespace

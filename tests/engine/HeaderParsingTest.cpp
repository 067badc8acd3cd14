#include "engine/HeaderParsing.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

struct ContentType {
    std::string type, name, boundary;
};

ContentType Parse(const std::string& value) {
    ContentType c;
    ParseContentType("Content-Type: " + value, c.type, c.name, c.boundary);
    return c;
}

TEST(HeaderParsingTest, ContentTypeParameters) {
    ContentType c = Parse("image/gif; name=\"a b.gif\"");
    EXPECT_EQ(c.type + "|" + c.name + "|" + c.boundary, "image/gif|a b.gif|");
    EXPECT_EQ(Parse("multipart/mixed; boundary=\"-\"").boundary, "---");
    // Only one blank is dropped: " boundary" is another parameter.
    EXPECT_EQ(Parse("multipart/mixed;  boundary=x").boundary, "");
    // Empty pieces skipped, pieces without "=" ignored, names case-sensitive, last one wins,
    // the type as it stands, the value split at its first "=".
    c = Parse(";;Image/GIF;;junk; Name=a; name=b; name=c=d;");
    EXPECT_EQ(c.type + "|" + c.name, "Image/GIF|c=d");
    // A lone quote gives an empty value.
    EXPECT_EQ(Parse("a/b; name=\"").name, "");

    std::string type = "old", name = "old", boundary = "old";
    ParseContentType("Content-Type: ;;;", type, name, boundary);
    EXPECT_EQ(type + name + boundary, "oldoldold");
}

TEST(HeaderParsingTest, ContentTypeQuotesAndBlanks) {
    // A ";" inside quotes belongs to the value; what follows the closing quote does not.
    EXPECT_EQ(Parse("image/gif; name=\"a;b.gif\"; boundary=z").name, "a;b.gif");
    EXPECT_EQ(Parse("image/gif; name=\"a;b.gif\"; boundary=z").boundary, "--z");
    EXPECT_EQ(Parse("image/png; name=\"sp.png\" ").name, "sp.png");
    EXPECT_EQ(Parse("image/png; name=\"sp.png\"junk").name, "sp.png");
    EXPECT_EQ(Parse("image/png; name=sp.png  \t").name, "sp.png");
    EXPECT_EQ(Parse("image/png; name=\"open;x").name, "open;x");
    ContentType c = Parse("   image/jpeg ; name=x.jpg");
    EXPECT_EQ(c.type + "|" + c.name, "image/jpeg|x.jpg");
}

TEST(HeaderParsingTest, ContentTypeValuesOfAnyLength) {
    const std::string longName(5000, 'n'), longType = "application/" + std::string(3000, 't');
    const ContentType c = Parse(longType + "; name=\"" + longName + "\"; boundary=" + longName);
    EXPECT_EQ(c.type, longType);
    EXPECT_EQ(c.name, longName);
    EXPECT_EQ(c.boundary, "--" + longName);
}

TEST(HeaderParsingTest, RepliesAndLinesValues) {
    for (const char* reply : {"Re: pic.jpg (1/2)", "re:x", "RE:x", "rE:"})
        EXPECT_TRUE(IsReply(reply)) << reply;
    for (const char* other : {"Re :x", "Re^2: x", " Re: x", "Re", ""})
        EXPECT_FALSE(IsReply(other)) << other;

    EXPECT_EQ(ParseDecimalPrefix(" \t+42 lines"), 42);
    EXPECT_EQ(ParseDecimalPrefix("-5"), -5);
    EXPECT_EQ(ParseDecimalPrefix("abc"), 0);
    EXPECT_EQ(ParseDecimalPrefix("- 5"), 0);
    EXPECT_EQ(ParseDecimalPrefix("-2147483648"), INT_MIN);
    EXPECT_EQ(ParseDecimalPrefix("2147483648"), INT_MAX);
    EXPECT_EQ(ParseDecimalPrefix("-99999999999999999999999"), INT_MIN);
    EXPECT_EQ(ParseDecimalPrefix(std::string(10000, '9')), INT_MAX);

    EXPECT_EQ(StripDotStuffing("..M123"), ".M123");
    EXPECT_EQ(StripDotStuffing(".."), ".");
    EXPECT_EQ(StripDotStuffing("."), ".");
    EXPECT_EQ(StripDotStuffing(".x"), ".x");
}

TEST(HeaderParsingTest, PartHeaderLines) {
    std::string name = "unchanged";
    EXPECT_FALSE(ParseContentDisposition("Content-Disposition: attachment", name));
    EXPECT_FALSE(ParseContentDisposition("Content-disposition: inline; filename=x", name));
    EXPECT_EQ(name, "unchanged");
    const std::string longName(3000, 'f');
    const std::pair<std::string, std::string> cases[] = {
        {"attachment; filename=\"a b.jpg\"; size=3", "a b.jpg"},
        {"inline; filename=  plain.gif; size=3", "plain.gif"},
        {"inline; filename=\"unterminated.gif", "unterminated.gif"},
        {"inline; filename=", ""},
        {"inline; filename=\"" + longName + "\"", longName},
    };
    for (const auto& [value, expected] : cases) {
        ASSERT_TRUE(ParseContentDisposition("Content-Disposition: " + value, name)) << value;
        EXPECT_EQ(name, expected) << value;
    }

    EXPECT_TRUE(IsRawTransferEncoding("Content-Transfer-Encoding: 7bit"));
    EXPECT_TRUE(IsRawTransferEncoding("Content-Transfer-Encoding: 8bit"));
    EXPECT_FALSE(IsRawTransferEncoding("Content-Transfer-Encoding: 7BIT"));
    EXPECT_FALSE(IsRawTransferEncoding("Content-Transfer-Encoding: 8bit "));
}

} // namespace

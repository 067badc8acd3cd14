#include "app/gui/DisplayText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Characters that act on the text around them instead of showing.
bool Acts(QChar c) {
    const auto code = c.unicode();
    const bool bidiFormatting =
        (code >= 0x202a && code <= 0x202e) || (code >= 0x2066 && code <= 0x2069);
    return c.category() == QChar::Other_Control || c.category() == QChar::Separator_Line ||
           c.category() == QChar::Separator_Paragraph || bidiFormatting;
}

bool ShowsOnly(const QString& text) {
    for (const QChar c : text) {
        if (Acts(c))
            return false;
    }
    return true;
}

TEST(DisplayTextTest, ValidUtf8IsReadAsUtf8) {
    EXPECT_EQ(DisplayText(""), QString());
    EXPECT_EQ(DisplayText("holiday photos (1/3)"), QStringLiteral("holiday photos (1/3)"));
    EXPECT_EQ(DisplayText("Gr\xc3\xbc\xc3\x9f"
                          "e \xe2\x82\xac"),
              QString::fromUtf8(u8"Grüße €"));
    EXPECT_EQ(DisplayText("\xf0\x9f\x93\xb7.jpg"), QString::fromUtf8(u8"📷.jpg"));
}

TEST(DisplayTextTest, AnythingElseIsReadAsLatin1) {
    EXPECT_EQ(DisplayText("Gr\xfc\xdf"
                          "e"),
              QString::fromUtf8(u8"Grüße"));
    // One bad byte makes the whole text Latin-1, valid sequences included.
    EXPECT_EQ(DisplayText("\xc3\xbc \xff"), QString::fromUtf8(u8"Ã¼ ÿ"));
    // Overlong forms and encoded surrogates are not UTF-8.
    EXPECT_EQ(DisplayText("\xc0\xaf"), QString::fromUtf8(u8"À¯"));
    EXPECT_EQ(DisplayText("\xed\xa0\xbd"), QString::fromUtf8(u8"í\u00a0½"));
}

TEST(DisplayTextTest, ASequenceCutOffAtTheEndIsNotUtf8) {
    const std::string euro = "\xe2\x82\xac";
    const std::string text = "price " + euro;
    for (std::size_t cut = 1; cut < euro.size(); ++cut) {
        const QString shown = DisplayText(std::string_view(text).substr(0, text.size() - cut));
        EXPECT_TRUE(shown.startsWith(QStringLiteral("price \u00e2"))) << cut;
        EXPECT_EQ(shown.size(), static_cast<qsizetype>(6 + euro.size() - cut)) << cut;
        EXPECT_TRUE(ShowsOnly(shown)) << cut;
    }
}

TEST(DisplayTextTest, ControlCharactersAreReplaced) {
    EXPECT_EQ(DisplayText("a\tb\r\nc\x1b[31m\x7f"),
              QString::fromUtf8(u8"a\ufffdb\ufffd\ufffdc\ufffd[31m\ufffd"));
    EXPECT_EQ(DisplayText(std::string_view("a\0b", 3)), QString::fromUtf8(u8"a\ufffdb"));
    // C1 controls, whether they came as UTF-8 or as Latin-1 bytes.
    EXPECT_EQ(DisplayText("x\xc2\x85y"), QString::fromUtf8(u8"x\ufffdy"));
    EXPECT_EQ(DisplayText("x\x85y\xe9"), QString::fromUtf8(u8"x\ufffdyé"));
}

TEST(DisplayTextTest, LineSeparatorsAndBidiOverridesAreReplaced) {
    // U+2028, U+2029, U+202E (right-to-left override), U+2066 (left-to-right isolate).
    EXPECT_EQ(DisplayText("a\xe2\x80\xa8"
                          "b\xe2\x80\xa9"
                          "c\xe2\x80\xae"
                          "d\xe2\x81\xa6"
                          "e"),
              QString::fromUtf8(u8"a\ufffdb\ufffdc\ufffdd\ufffde"));
    // Their neighbours are ordinary characters and stay.
    EXPECT_EQ(DisplayText("\xe2\x80\xa7\xe2\x80\xaf\xe2\x81\xa5"),
              QString::fromUtf8(u8"\u2027\u202f\u2065"));
}

TEST(DisplayTextTest, NoByteAndNoCodePointReachesTheScreenRaw) {
    for (int byte = 0; byte < 256; ++byte) {
        const QString shown = DisplayText(std::string(1, static_cast<char>(byte)));
        EXPECT_EQ(shown.size(), 1) << byte;
        EXPECT_TRUE(ShowsOnly(shown)) << byte;
    }
    for (char32_t code = 0; code < 0x3000; ++code) {
        if (code >= 0xd800 && code < 0xe000)
            continue;
        const QString shown = DisplayText(QString::fromUcs4(&code, 1).toStdString());
        EXPECT_TRUE(ShowsOnly(shown)) << std::hex << static_cast<unsigned>(code);
    }
}

} // namespace

#include "engine/PartIdentifier.h"

#include <gtest/gtest.h>

namespace {

TEST(PartIdentifierTest, SeparatorsSpacingAndPrefix) {
    struct {
        const char* subject;
        int32_t part, total;
        const char* prefix;
    } const cases[] = {
        {"pic.jpg (3/12)", 3, 12, "pic.jpg ("},
        {"pic.jpg [03 of 12]", 3, 12, "pic.jpg ["},
        {"x 3 | 12", 3, 12, "x "},
        {"x 3\\12", 3, 12, "x "},
        {"x 3of12", 3, 12, "x "},
        {"x 3 \t/ \t12", 3, 12, "x "},
        {"Part 0/5", 0, 5, "Part "},
        {"a 12x 3/4", 3, 4, "a 12x "},
        {"v2.1 file 10 of 20", 10, 20, "v2.1 file "},
        // The first identifier wins; bytes above 127 are neither digits nor blanks.
        {"photos 12/25 (1/3)", 12, 25, "photos "},
        {"\xE9t\xE9 2/4", 2, 4, "\xE9t\xE9 "},
    };
    for (const auto& c : cases) {
        PartIdentifier id;
        ASSERT_TRUE(ParsePartIdentifier(c.subject, id)) << c.subject;
        EXPECT_EQ(id.part, c.part) << c.subject;
        EXPECT_EQ(id.total, c.total) << c.subject;
        EXPECT_EQ(id.prefix, c.prefix) << c.subject;
    }
}

TEST(PartIdentifierTest, NoValidIdentifier) {
    // Part above total, an invalid first identifier before a valid one, separators without
    // digits, "Of" for "of", numbers too large for an int32_t.
    for (const char* subject :
         {"file (2/1)", "photos 25/12 (1/3)", "", "no digits", "12 /", "12 of x", "3 Of 4", "1-2",
          "(/3)", "3\xA0/4", "x (1/99999999999)", "x (2147483648/2147483648)"}) {
        PartIdentifier id;
        EXPECT_FALSE(ParsePartIdentifier(subject, id)) << subject;
    }
}

TEST(PartIdentifierTest, LargeNumbersAndLongDigitRuns) {
    PartIdentifier id;
    ASSERT_TRUE(ParsePartIdentifier("x (2147483647/2147483647)", id));
    EXPECT_EQ(id.total, 2147483647);
    // A long digit run without a separator is passed over (in linear time) into the prefix.
    const std::string digits(200000, '7');
    ASSERT_TRUE(ParsePartIdentifier(digits + " (2/3)", id));
    EXPECT_EQ(id.part, 2);
    EXPECT_EQ(id.prefix, digits + " (");
}

// Today's yEnc subjects: the last bracketed pair is the identifier, so that a collection's
// file counter in front of it names the set; other subjects keep the first-pair rule, and the
// text after their identifier is part of the set's name.
TEST(PartIdentifierTest, YencSubjectsAndSetNames) {
    struct {
        const char* subject;
        int32_t part, total;
        const char* setName;
    } const cases[] = {
        {"\"name.ext\" yEnc (2/5)", 2, 5, "\"name.ext\" yEnc "},
        {"[3/9] - \"a.part03.rar\" yEnc (01/12) 123456 bytes", 1, 12,
         "[3/9] - \"a.part03.rar\" yEnc "},
        {"name.ext (7/8) yEnc", 7, 8, "name.ext "},
        {"x YENC [ 4 / 40 ]", 4, 40, "x YENC "},
        {"yenc: (1/2) (003/010)", 3, 10, "yenc: (1/2) "},
        // Not the word yEnc: the first pair, with the text around it in the set's name.
        {"yEncoded 1/2 (3/4)", 1, 2, "yEncoded \x1e (3/4)"},
        {"(1/2) a.bin", 1, 2, "(\x1e) a.bin"},
    };
    for (const auto& c : cases) {
        PartIdentifier id;
        ASSERT_TRUE(ParseSubjectPart(c.subject, id)) << c.subject;
        EXPECT_EQ(id.part, c.part) << c.subject;
        EXPECT_EQ(id.total, c.total) << c.subject;
        EXPECT_EQ(id.setName, c.setName) << c.subject;
    }
    PartIdentifier id;
    // A yEnc subject without a bracketed pair falls back to the first pair; one whose last pair
    // is out of order, or too large, has no identifier.
    EXPECT_TRUE(ParseSubjectPart("file yEnc 2 of 3", id));
    EXPECT_EQ(id.part, 2);
    EXPECT_FALSE(ParseSubjectPart("file yEnc (4/3)", id));
    EXPECT_FALSE(ParseSubjectPart("file yEnc (1/99999999999)", id));
    EXPECT_FALSE(ParseSubjectPart("file yEnc", id));
}

} // namespace

#include "engine/PartIdentifier.h"

#include <gtest/gtest.h>

namespace {

struct Expected {
    const char* subject;
    bool found;
    int32_t part;
    int32_t total;
    const char* prefix;
};

TEST(PartIdentifierTest, SeparatorsSpacingAndPrefix) {
    const Expected cases[] = {
        {"pic.jpg (3/12)", true, 3, 12, "pic.jpg ("},
        {"pic.jpg [03 of 12]", true, 3, 12, "pic.jpg ["},
        {"x 3 | 12", true, 3, 12, "x "},
        {"x 3\\12", true, 3, 12, "x "},
        {"x 3of12", true, 3, 12, "x "},
        {"x 3 \t/ \t12", true, 3, 12, "x "},
        {"Part 0/5", true, 0, 5, "Part "},
        {"file (1/1)", true, 1, 1, "file ("},
        // Digits of failed attempts stay in the prefix.
        {"a 12x 3/4", true, 3, 4, "a 12x "},
        {"v2.1 file 10 of 20", true, 10, 20, "v2.1 file "},
    };
    for (const Expected& c : cases) {
        PartIdentifier id;
        EXPECT_EQ(ParsePartIdentifier(c.subject, id), c.found) << c.subject;
        EXPECT_EQ(id.part, c.part) << c.subject;
        EXPECT_EQ(id.total, c.total) << c.subject;
        EXPECT_EQ(id.prefix, c.prefix) << c.subject;
    }
}

TEST(PartIdentifierTest, NoValidIdentifier) {
    // Part greater than total; the first identifier decides even when a valid one follows;
    // separators without digits; "Of" is not "of".
    for (const char* subject : {"file (2/1)", "photos 25/12 (1/3)", "", "no digits here", "12 /",
                                "12 of x", "3 Of 4", "1-2", "(/3)"}) {
        PartIdentifier id;
        EXPECT_FALSE(ParsePartIdentifier(subject, id)) << subject;
    }
    PartIdentifier id;
    ASSERT_FALSE(ParsePartIdentifier("photos 25/12 (1/3)", id));
    EXPECT_EQ(id.part, 25);
    EXPECT_EQ(id.total, 12);
    // A valid first identifier wins just the same.
    ASSERT_TRUE(ParsePartIdentifier("photos 12/25 (1/3)", id));
    EXPECT_EQ(id.part, 12);
    EXPECT_EQ(id.total, 25);
    EXPECT_EQ(id.prefix, "photos ");
}

TEST(PartIdentifierTest, NumbersTooLargeAreNoIdentifier) {
    PartIdentifier id;
    EXPECT_FALSE(ParsePartIdentifier("x (1/99999999999)", id));
    EXPECT_FALSE(ParsePartIdentifier("x (99999999999/99999999999)", id));
    EXPECT_FALSE(ParsePartIdentifier("x (2147483648/2147483648)", id));
    // The largest int32_t still counts.
    ASSERT_TRUE(ParsePartIdentifier("x (2147483647/2147483647)", id));
    EXPECT_EQ(id.total, 2147483647);
    // A long digit run without a separator is passed over and kept in the prefix.
    const std::string subject = std::string(100000, '7') + " (2/3)";
    ASSERT_TRUE(ParsePartIdentifier(subject, id));
    EXPECT_EQ(id.part, 2);
    EXPECT_EQ(id.prefix, std::string(100000, '7') + " (");
}

TEST(PartIdentifierTest, BytesAboveAsciiAreNeitherDigitsNorSpace) {
    PartIdentifier id;
    EXPECT_FALSE(ParsePartIdentifier("3\xA0/4", id));
    ASSERT_TRUE(ParsePartIdentifier("\xE9t\xE9 2/4", id));
    EXPECT_EQ(id.prefix, "\xE9t\xE9 ");
}

} // namespace

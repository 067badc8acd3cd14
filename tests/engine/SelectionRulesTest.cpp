#include "engine/SelectionRules.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

TEST(SelectionRulesTest, WildcardMatching) {
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"a?z", "abz", true},
        {"a?z", "az", false},
        {"a?z", "ABZ", false},
        {"*", "", true},
        {"*", "any value", true},
        {"*spam*", "buy spam", true},
        {"*spam*", "spa m", false},
        {"exact", "exact", true},
        {"exact", "exactly", false},
        {"", "", true},
        {"", "x", false},
        {"?", "", false},
        {"**a**b**", "xaxbx", true},
        {"*.jpg", "a.jpg.jpg", true},
        {"*.jpg", "a.jpg.gif", false},
        {"*ab*ab", "abab ab", true},
        {"a*b?c*", "aXXbYcZZ", true},
    };
    for (const auto& [pattern, value, expected] : cases)
        EXPECT_EQ(WildcardMatch(pattern, value), expected) << pattern << " " << value;
}

TEST(SelectionRulesTest, HostilePatternsStayFast) {
    // Exponential for a naive backtracking matcher, deep recursion for a recursive one.
    const std::string value(20000, 'a');
    std::string stars;
    for (int i = 0; i < 2000; ++i)
        stars += "*a";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(WildcardMatch(stars + "b", value));
    EXPECT_FALSE(WildcardMatch("*" + std::string(1000, 'a') + "b", value));
    EXPECT_TRUE(WildcardMatch(std::string(50000, '*'), value));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(SelectionRulesTest, FirstKillRuleOfTheFieldWins) {
    const std::vector<KillRule> rules = {{1, "*spam*"}, {0, "bad@*"}, {0, "*@x.com"}, {2, "*.exe"}};
    EXPECT_EQ(FindKillRule(rules, 0, "bad@x.com"), &rules[1]);
    EXPECT_EQ(FindKillRule(rules, 0, "ok@x.com"), &rules[2]);
    EXPECT_EQ(FindKillRule(rules, 0, "spam@y.org"), nullptr);
    EXPECT_EQ(FindKillRule(rules, 2, "virus.exe"), &rules[3]);
}

TEST(SelectionRulesTest, MimeActionsExactRowBeforeMajorType) {
    const std::vector<MimeActionEntry> table = {{1, "image"}, {0, "image/gif"}, {1, "Text/Plain"}};
    EXPECT_EQ(MimeAction(table, "image/gif"), 0u);
    EXPECT_EQ(MimeAction(table, "image/png"), 1u);
    EXPECT_EQ(MimeAction(table, "IMAGE/PNG"), 1u);
    EXPECT_EQ(MimeAction(table, "text/plain"), 1u);
    EXPECT_EQ(MimeAction(table, "text/html"), 0u);
    EXPECT_EQ(MimeAction(table, ""), 0u);
    EXPECT_EQ(MimeAction({}, "image/png"), 0u);
    EXPECT_EQ(MimeAction({{7, "video"}, {0, "video"}}, "video/mpeg"), 7u);
    // The major type is compared whole, however long.
    const std::string major(99, 'x');
    EXPECT_EQ(MimeAction({{1, major}}, major + "/y"), 1u);
    EXPECT_EQ(MimeAction({{1, major}}, major + "zzz/y"), 0u);
}

} // namespace

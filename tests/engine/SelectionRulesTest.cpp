#include "engine/SelectionRules.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

TEST(SelectionRulesTest, WildcardMatching) {
    EXPECT_TRUE(WildcardMatch("a?z", "abz"));
    EXPECT_FALSE(WildcardMatch("a?z", "az"));
    EXPECT_FALSE(WildcardMatch("a?z", "ABZ"));
    EXPECT_TRUE(WildcardMatch("*", ""));
    EXPECT_TRUE(WildcardMatch("*", "anything at all"));
    EXPECT_TRUE(WildcardMatch("*spam*", "buy spam now"));
    EXPECT_TRUE(WildcardMatch("*spam*", "spam"));
    EXPECT_FALSE(WildcardMatch("*spam*", "spa m"));
    EXPECT_TRUE(WildcardMatch("exact", "exact"));
    EXPECT_FALSE(WildcardMatch("exact", "exactly"));
    EXPECT_FALSE(WildcardMatch("exact", "Exact"));
    EXPECT_TRUE(WildcardMatch("", ""));
    EXPECT_FALSE(WildcardMatch("", "x"));
    EXPECT_FALSE(WildcardMatch("?", ""));
    EXPECT_TRUE(WildcardMatch("**a**b**", "xaxbx"));
    EXPECT_TRUE(WildcardMatch("*.jpg", "a.jpg.jpg"));
    EXPECT_FALSE(WildcardMatch("*.jpg", "a.jpg.gif"));
    EXPECT_TRUE(WildcardMatch("a*b?c*", "aXXbYcZZ"));
    EXPECT_TRUE(WildcardMatch("*ab*ab", "abab ab"));
    EXPECT_TRUE(WildcardMatch("*\xE9*", "caf\xE9"));
}

TEST(SelectionRulesTest, HostilePatternsStayFast) {
    // A naive recursive matcher needs exponential time or deep recursion here.
    const std::string value(20000, 'a');
    std::string pattern;
    for (int i = 0; i < 2000; ++i)
        pattern += "*a";
    pattern += "b";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(WildcardMatch(pattern, value));
    EXPECT_FALSE(WildcardMatch("*" + std::string(1000, 'a') + "b", value));
    EXPECT_TRUE(WildcardMatch(std::string(50000, '*'), value));
    EXPECT_FALSE(WildcardMatch(std::string(50000, '?'), value));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(SelectionRulesTest, FirstKillRuleOfTheFieldWins) {
    const std::vector<KillRule> rules = {
        {1, "*spam*"}, {0, "bad@*"}, {0, "*@example.com"}, {2, "*.exe"}};
    EXPECT_EQ(FindKillRule(rules, 0, "bad@example.com"), &rules[1]);
    EXPECT_EQ(FindKillRule(rules, 0, "ok@example.com"), &rules[2]);
    EXPECT_EQ(FindKillRule(rules, 0, "spam@example.org"), nullptr);
    EXPECT_EQ(FindKillRule(rules, 1, "spam"), &rules[0]);
    EXPECT_EQ(FindKillRule(rules, 2, "virus.exe"), &rules[3]);
    EXPECT_EQ(FindKillRule(rules, 2, "spam.jpg"), nullptr);
    EXPECT_EQ(FindKillRule({}, 0, ""), nullptr);
}

TEST(SelectionRulesTest, MimeActionsExactBeforeMajorType) {
    const std::vector<MimeActionEntry> table = {{1, "image"}, {0, "image/gif"}, {1, "Text/Plain"}};
    EXPECT_EQ(MimeAction(table, "image/gif"), 0u);
    EXPECT_EQ(MimeAction(table, "image/png"), 1u);
    EXPECT_EQ(MimeAction(table, "IMAGE/PNG"), 1u);
    EXPECT_EQ(MimeAction(table, "image/GIF"), 0u);
    EXPECT_EQ(MimeAction(table, "text/plain"), 1u);
    EXPECT_EQ(MimeAction(table, "text/html"), 0u);
    EXPECT_EQ(MimeAction(table, "image"), 1u);
    EXPECT_EQ(MimeAction(table, "application/octet-stream"), 0u);
    EXPECT_EQ(MimeAction(table, ""), 0u);
    EXPECT_EQ(MimeAction({}, "image/png"), 0u);
    // The first equal row decides; other non-zero actions are returned as stored.
    EXPECT_EQ(MimeAction({{7, "video"}, {0, "video"}}, "video/mpeg"), 7u);
}

TEST(SelectionRulesTest, MimeMajorTypeIsComparedWhole) {
    // A long major type is not cut to a prefix that happens to be in the table.
    const std::string major(99, 'x');
    const std::vector<MimeActionEntry> table = {{1, major}};
    EXPECT_EQ(MimeAction(table, major + "/y"), 1u);
    EXPECT_EQ(MimeAction(table, major + "zzz/y"), 0u);
}

} // namespace

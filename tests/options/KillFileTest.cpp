#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>

#include "options/CKillFile.h"
#include "support/ProfileHome.h"

namespace {

std::vector<KillRule> ReadText(const ProfileHome& home, const std::string& text) {
    const std::string path = home / CKillFile::kFileName;
    WriteFile(path, text);
    std::vector<KillRule> rules;
    CKillFile::Read(path, rules);
    return rules;
}

TEST(KillFileTest, LinesSplitAtTheFirstCommaOnly) {
    ProfileHome home;
    const auto rules = ReadText(home, "1,*sale*, cheap\n"
                                      "2,\n"
                                      "0,Spam?Bot\r\n"
                                      "1\n"
                                      ",,2,lead commas\n");
    EXPECT_EQ(rules,
              (std::vector<KillRule>{
                  {1, "*sale*, cheap"}, {2, ""}, {0, "Spam?Bot"}, {1, ""}, {2, "lead commas"}}));
}

TEST(KillFileTest, LinesWithoutAFieldCodeAreSkipped) {
    ProfileHome home;
    const auto rules = ReadText(home, "\n,,,\nabc,pattern\n\r\n 0,kept\n");
    EXPECT_EQ(rules, (std::vector<KillRule>{{0, "kept"}}));
}

TEST(KillFileTest, ReadingAppendsAndAMissingFileAddsNothing) {
    ProfileHome home;
    std::vector<KillRule> rules{{0, "first"}};
    EXPECT_TRUE(CKillFile::Read(home / "absent.killfile", rules));
    EXPECT_EQ(rules.size(), 1u);
    WriteFile(home / "k", "1,second\n");
    EXPECT_TRUE(CKillFile::Read(home / "k", rules));
    EXPECT_EQ(rules, (std::vector<KillRule>{{0, "first"}, {1, "second"}}));
    // Something that exists and cannot be read is not a missing file.
    std::filesystem::create_directory(home / "folder.killfile");
    std::string error;
    EXPECT_FALSE(CKillFile::Read(home / "folder.killfile", rules, &error));
    EXPECT_FALSE(error.empty());
}

TEST(KillFileTest, WriteRoundTripsAndFailureKeepsTheOldFile) {
    ProfileHome home;
    const std::string path = home / CKillFile::kFileName;
    const std::vector<KillRule> rules{{1, "x"}, {0, "y,z"}, {2, ""}};
    ASSERT_TRUE(CKillFile::Write(path, rules));
    EXPECT_EQ(ReadFile(path), "1,x\n0,y,z\n2,\n");
    std::vector<KillRule> back;
    CKillFile::Read(path, back);
    EXPECT_EQ(back, rules);

    EXPECT_FALSE(CKillFile::Write(home / "no-folder/k", rules));
    std::filesystem::create_directory(home / "dir");
    EXPECT_FALSE(CKillFile::Write(home / "dir", rules));
    EXPECT_EQ(ReadFile(path), "1,x\n0,y,z\n2,\n");
}

// A pattern taken from a hostile article's subject may hold a line feed: written as it is, the
// rest would come back as a rule of its own (here one that kills every file name).
TEST(KillFileTest, PatternsALineCannotHoldAreWrittenWithAWildcard) {
    ProfileHome home;
    const std::string path = home / CKillFile::kFileName;
    ASSERT_TRUE(CKillFile::Write(path, {{1, "x\n2,*"}, {0, "name\r"}, {2, "a\rb"}}));
    EXPECT_EQ(ReadFile(path), "1,x?2,*\n0,name?\n2,a\rb\n");
    std::vector<KillRule> back;
    CKillFile::Read(path, back);
    EXPECT_EQ(back, (std::vector<KillRule>{{1, "x?2,*"}, {0, "name?"}, {2, "a\rb"}}));
}

TEST(KillFileTest, FieldCodesSaturateAtTheIntegerLimits) {
    ProfileHome home;
    const auto rules = ReadText(home, "-2147483648,min\n2147483648,over\n-99999999999,under\n");
    EXPECT_EQ(rules, (std::vector<KillRule>{
                         {INT32_MIN, "min"}, {INT32_MAX, "over"}, {INT32_MIN, "under"}}));
    const std::string path = home / CKillFile::kFileName;
    ASSERT_TRUE(CKillFile::Write(path, rules));
    std::vector<KillRule> back;
    CKillFile::Read(path, back);
    EXPECT_EQ(back, rules);
}

} // namespace

#include "app/CommandLine.h"

#include <climits>
#include <gtest/gtest.h>

namespace {

CMainCommandLineInfo Parse(std::vector<std::string> parameters) {
    return CMainCommandLineInfo::Parse(parameters);
}

TEST(CommandLineTest, DebugLevelWithEitherPrefix) {
    EXPECT_EQ(Parse({"/debug:3"}).m_nDebugLevel, 3);
    EXPECT_EQ(Parse({"-debug:3"}).m_nDebugLevel, 3);
    EXPECT_EQ(Parse({"-debug:5", "/debug:2"}).m_nDebugLevel, 2); // the last one counts
}

TEST(CommandLineTest, DebugNumberIsReadLikeAtoi) {
    EXPECT_EQ(Parse({"-debug:"}).m_nDebugLevel, 0);
    EXPECT_EQ(Parse({"-debug:abc"}).m_nDebugLevel, 0);
    EXPECT_EQ(Parse({"-debug:  4"}).m_nDebugLevel, 4);
    EXPECT_EQ(Parse({"-debug:+2x"}).m_nDebugLevel, 2);
    EXPECT_EQ(Parse({"-debug:-1"}).m_nDebugLevel, -1);
    EXPECT_EQ(Parse({"-debug:12abc3"}).m_nDebugLevel, 12);
    EXPECT_EQ(Parse({"-debug:99999999999999999999"}).m_nDebugLevel, INT_MAX);
    EXPECT_EQ(Parse({"-debug:-99999999999999999999"}).m_nDebugLevel, INT_MIN);
}

TEST(CommandLineTest, SwitchNamesAreCaseSensitive) {
    const CMainCommandLineInfo info = Parse({"/DEBUG:3", "-Start", "-Headless"});
    EXPECT_EQ(info.m_nDebugLevel, 0);
    EXPECT_FALSE(info.m_bStart);
    EXPECT_FALSE(info.m_bHeadless);
    EXPECT_EQ(info.m_others, (std::vector<std::string>{"/DEBUG:3", "-Start", "-Headless"}));
    // "debug:" must be a prefix, not just contained.
    EXPECT_EQ(Parse({"-xdebug:3"}).m_nDebugLevel, 0);
    EXPECT_EQ(Parse({"debug:3"}).m_nDebugLevel, 0); // not a switch
}

TEST(CommandLineTest, StartIsAPrefixTestOurFlagsAreExact) {
    EXPECT_TRUE(Parse({"-start"}).m_bStart);
    EXPECT_TRUE(Parse({"/startnow"}).m_bStart);
    EXPECT_FALSE(Parse({"-star"}).m_bStart);
    EXPECT_FALSE(Parse({}).m_bStart);

    const CMainCommandLineInfo info = Parse({"-headless", "/catchup"});
    EXPECT_TRUE(info.m_bHeadless);
    EXPECT_TRUE(info.m_bCatchUp);
    EXPECT_TRUE(info.m_others.empty());
    const CMainCommandLineInfo longer = Parse({"-headlessly", "-catchup2"});
    EXPECT_FALSE(longer.m_bHeadless);
    EXPECT_FALSE(longer.m_bCatchUp);
    EXPECT_EQ(longer.m_others.size(), 2u);
}

TEST(CommandLineTest, OtherParametersAreKeptAndOnlyEmbeddingHidesTheSplash) {
    const CMainCommandLineInfo info = Parse({"file.txt", "-", "/p", "--debug:3"});
    EXPECT_EQ(info.m_others, (std::vector<std::string>{"file.txt", "-", "/p", "--debug:3"}));
    EXPECT_EQ(info.m_nDebugLevel, 0);
    EXPECT_TRUE(info.m_bShowSplash);
    EXPECT_FALSE(Parse({"-embedding"}).m_bShowSplash);
    EXPECT_FALSE(Parse({"/Automation"}).m_bShowSplash);
}

TEST(CommandLineTest, ArgvSkipsTheProgramName) {
    const char* argv[] = {"-debug:4", "-start", nullptr};
    const CMainCommandLineInfo info = CMainCommandLineInfo::Parse(2, argv);
    EXPECT_EQ(info.m_nDebugLevel, 0);
    EXPECT_TRUE(info.m_bStart);
    const char* withName[] = {"gleanwick", "-debug:4", nullptr};
    EXPECT_EQ(CMainCommandLineInfo::Parse(2, withName).m_nDebugLevel, 4);
}

} // namespace

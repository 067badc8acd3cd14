#include "platform/CHive.h"
#include "platform/CProfile.h"
#include "platform/ProgramFolder.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

namespace {

TEST(ProfileTest, AbsentOrMistypedValuesReadAsTheDefault) {
    CHive hive;
    CProfile profile(hive);
    EXPECT_EQ(profile.GetProfileInt("Settings", "m_uMinLines", 500), 500u);
    EXPECT_EQ(profile.GetProfileString("Settings", "m_DecodeDir", "dflt"), "dflt");
    EXPECT_EQ(profile.GetProfileString("Settings", "m_DecodeDir"), "");

    profile.WriteProfileString("Settings", "m_uMinLines", "12");
    profile.WriteProfileInt("Settings", "m_DecodeDir", 3);
    EXPECT_EQ(profile.GetProfileInt("Settings", "m_uMinLines", 500), 500u);
    EXPECT_EQ(profile.GetProfileString("Settings", "m_DecodeDir", "dflt"), "dflt");
}

TEST(ProfileTest, WritesLandUnderTheApplicationKeyInNestedSections) {
    CHive hive;
    CProfile profile(hive);
    profile.WriteProfileInt("Servers\\news.example.com", "Port", 563);
    profile.WriteProfileString("Servers\\news.example.com", "Login User", "me");
    profile.WriteProfileInt("Settings", "m_uMaxLines", 4294967295u);
    EXPECT_EQ(hive.GetDword("Software\\Hollowfen\\Gleanwick\\Servers\\news.example.com", "Port"),
              563u);
    EXPECT_EQ(
        hive.GetString("Software\\Hollowfen\\Gleanwick\\Servers\\NEWS.example.com", "login user"),
        "me");
    EXPECT_EQ(profile.GetProfileInt("settings", "M_UMAXLINES", 0), 4294967295u);
    EXPECT_EQ(profile.GetProfileInt("Servers\\news.example.com", "Port", 119), 563u);
}

TEST(ProgramFolderTest, FoldersFollowTheEnvironment) {
    TempFolder dir;
    {
        ScopedEnv home("GLEANWICK_HOME", (dir / "gw").c_str());
        EXPECT_EQ(ProgramFolder(), dir / "gw/");
        EXPECT_TRUE(std::filesystem::is_directory(dir / "gw"));
        EXPECT_EQ(HiveFilePath(), dir / "gw/HKCU.reg");
    }
    ScopedEnv noHome("GLEANWICK_HOME", nullptr);
    {
        ScopedEnv data("XDG_DATA_HOME", (dir / "data").c_str());
        ScopedEnv config("XDG_CONFIG_HOME", (dir / "config/").c_str());
        EXPECT_EQ(ProgramFolder(), dir / "data/Gleanwick/");
        EXPECT_EQ(HiveFilePath(), dir / "config/Hollowfen/HKCU.reg");
    }
    ScopedEnv data("XDG_DATA_HOME", nullptr);
    ScopedEnv config("XDG_CONFIG_HOME", nullptr);
    ScopedEnv userHome("HOME", dir.Path().c_str());
    EXPECT_EQ(ProgramFolder(), dir / ".local/share/Gleanwick/");
    EXPECT_EQ(HiveFilePath(), dir / ".config/Hollowfen/HKCU.reg");
}

} // namespace

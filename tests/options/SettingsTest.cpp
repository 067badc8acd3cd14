#include <gtest/gtest.h>

#include "options/CSettings.h"
#include "support/ProfileHome.h"

namespace {

const std::string kSettingsKey = "Software\\Hollowfen\\Gleanwick\\Settings";

TEST(SettingsTest, EmptyRegistryGivesTheDefaults) {
    ProfileHome home;
    CSettings settings;
    settings.Load(home.profile);
    EXPECT_EQ(settings.m_DecodeDir, home / "Decodes/");
    EXPECT_EQ(settings.m_uMinLines, 500u);
    EXPECT_EQ(settings.m_uMaxLines, 4294967295u);
    EXPECT_TRUE(settings.m_bDeleteFails);
    EXPECT_TRUE(settings.m_bDecodeNoPartID);
    EXPECT_TRUE(settings.m_bBackupNewsrc);
    EXPECT_FALSE(settings.m_bDecodeReplies);
    EXPECT_FALSE(settings.m_bLog);
    EXPECT_FALSE(settings.m_bAutoStart);
}

TEST(SettingsTest, AnyNonZeroNumberIsOnAndIsWrittenBackAsOne) {
    ProfileHome home;
    home.profile.WriteProfileInt("Settings", "m_bLog", 7);
    home.profile.WriteProfileInt("Settings", "m_bDeleteFails", 0);
    home.profile.WriteProfileString("Settings", "m_DecodeDir", "/data/news/");
    CSettings settings;
    settings.Load(home.profile);
    EXPECT_TRUE(settings.m_bLog);
    EXPECT_FALSE(settings.m_bDeleteFails);
    EXPECT_EQ(settings.m_DecodeDir, "/data/news/");

    settings.Save(home.profile);
    EXPECT_EQ(home.profile.GetProfileInt("Settings", "m_bLog", 0), 1u);
    EXPECT_EQ(home.profile.GetProfileInt("Settings", "m_bDeleteFails", 1), 0u);
}

TEST(SettingsTest, SaveWritesEveryValueInTableOrderAndLoadReadsThemBack) {
    ProfileHome home;
    CSettings saved;
    saved.m_bDecodeReplies = true;
    saved.m_bGroupDirs = true;
    saved.m_uMinLines = 10;
    saved.m_uMaxLines = 20000;
    saved.Save(home.profile);

    std::vector<std::string> names;
    for (std::size_t i = 0; const CHive::Value* value = home.hive.EnumValue(kSettingsKey, i); ++i) {
        names.push_back(value->name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{
                         "m_bDeleteFails", "m_bDecodeReplies", "m_bDecodeNoSubject",
                         "m_bDecodeNoPartID", "m_bDecodeNoLines", "m_bCheckVer", "m_bBackupNewsrc",
                         "m_bGroupDirs", "m_bAutoExit", "m_bAutoStart", "m_bLog", "m_uMinLines",
                         "m_uMaxLines", "m_DecodeDir"}));

    CSettings loaded;
    loaded.Load(home.profile);
    EXPECT_TRUE(loaded.m_bDecodeReplies);
    EXPECT_TRUE(loaded.m_bGroupDirs);
    EXPECT_EQ(loaded.m_uMinLines, 10u);
    EXPECT_EQ(loaded.m_uMaxLines, 20000u);
}

// Every member goes through its own value: with all of them away from their defaults, a member
// left out of saving or loading comes back at its default.
TEST(SettingsTest, EveryMemberIsSavedAndLoaded) {
    ProfileHome home;
    CSettings saved;
    for (bool* flag : {&saved.m_bDeleteFails, &saved.m_bDecodeReplies, &saved.m_bDecodeNoSubject,
                       &saved.m_bDecodeNoPartID, &saved.m_bDecodeNoLines, &saved.m_bCheckVer,
                       &saved.m_bBackupNewsrc, &saved.m_bGroupDirs, &saved.m_bAutoExit,
                       &saved.m_bAutoStart, &saved.m_bLog})
        *flag = !*flag;
    saved.m_uMinLines = 7;
    saved.m_uMaxLines = 70;
    saved.m_DecodeDir = "/srv/out/";
    saved.Save(home.profile);

    CSettings loaded;
    loaded.Load(home.profile);
    const CSettings defaults;
    EXPECT_EQ(loaded.m_bDeleteFails, !defaults.m_bDeleteFails);
    EXPECT_EQ(loaded.m_bDecodeReplies, !defaults.m_bDecodeReplies);
    EXPECT_EQ(loaded.m_bDecodeNoSubject, !defaults.m_bDecodeNoSubject);
    EXPECT_EQ(loaded.m_bDecodeNoPartID, !defaults.m_bDecodeNoPartID);
    EXPECT_EQ(loaded.m_bDecodeNoLines, !defaults.m_bDecodeNoLines);
    EXPECT_EQ(loaded.m_bCheckVer, !defaults.m_bCheckVer);
    EXPECT_EQ(loaded.m_bBackupNewsrc, !defaults.m_bBackupNewsrc);
    EXPECT_EQ(loaded.m_bGroupDirs, !defaults.m_bGroupDirs);
    EXPECT_EQ(loaded.m_bAutoExit, !defaults.m_bAutoExit);
    EXPECT_EQ(loaded.m_bAutoStart, !defaults.m_bAutoStart);
    EXPECT_EQ(loaded.m_bLog, !defaults.m_bLog);
    EXPECT_EQ(loaded.m_uMinLines, 7u);
    EXPECT_EQ(loaded.m_uMaxLines, 70u);
    EXPECT_EQ(loaded.m_DecodeDir, "/srv/out/");
}

} // namespace

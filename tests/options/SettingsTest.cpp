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

} // namespace

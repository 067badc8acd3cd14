#include "app/SettingsMigration.h"
#include "platform/CHive.h"
#include "platform/CProfile.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace {

constexpr const char* kOld = "Software\\Hollowfen\\Gleanwick 97";
constexpr const char* kNew = "Software\\Hollowfen\\Gleanwick";

std::string Old(const std::string& subkey) {
    return std::string(kOld) + "\\" + subkey;
}

std::string New(const std::string& subkey) {
    return std::string(kNew) + "\\" + subkey;
}

std::vector<std::string> ValueNames(const CHive& hive, const std::string& key) {
    std::vector<std::string> names;
    for (size_t i = 0; const CHive::Value* value = hive.EnumValue(key, i); ++i) {
        names.push_back(value->name);
    }
    return names;
}

// An older layout with two servers, a MIME table and both settings keys.
void FillOldLayout(CHive& hive) {
    const std::string full = Old("Servers\\news.example.com");
    hive.SetString(full, "Last Update", "990101 120000");
    hive.SetString(full, "Login Password", "secret");
    hive.SetString(full, "Login User", "me");
    hive.SetString(full, "NEWSRC File", "C:\\Gleanwick\\news.example.com.newsrc");
    hive.SetDword(full, "Login Required", 1);
    hive.SetDword(full, "Port", 563);
    hive.SetDword(full, "Timeout", 60000);
    hive.SetDword(Old("Servers\\partial.example.com"), "Port", 120);
    hive.SetString(Old("Servers\\partial.example.com"), "Login User", "other");
    hive.SetDword(Old("Mime"), "image/jpeg", 1);
    hive.SetDword(Old("Mime"), "text", 0);
    hive.SetDword(Old("Settings"), "Backup NewsRC", 0);
    hive.SetDword(Old("Settings"), "Check For Upgrades", 1);
    hive.SetDword(Old("Decode"), "Articles Without Lines", 1);
    hive.SetDword(Old("Decode"), "Articles Without Part Identifiers", 0);
    hive.SetDword(Old("Decode"), "Articles Without Subjects", 1);
    hive.SetDword(Old("Decode"), "Delete Failed Decodes", 0);
    hive.SetString(Old("Decode"), "Folder", "D:\\Binaries\\");
    hive.SetDword(Old("Decode"), "Max Lines", 0);
    hive.SetDword(Old("Decode"), "Min Lines", 20);
    hive.SetDword(Old("Decode"), "Replies", 1);
}

TEST(SettingsMigrationTest, OlderLayoutIsCopiedUnderTheCurrentNames) {
    CHive hive;
    CProfile profile(hive);
    FillOldLayout(hive);
    MigrateSettings(profile);

    const std::string full = New("Servers\\news.example.com");
    EXPECT_EQ(ValueNames(hive, full),
              (std::vector<std::string>{"Last Update", "Login Password", "Login User",
                                        "NEWSRC File", "Login Required", "Port", "Timeout"}));
    EXPECT_EQ(hive.GetString(full, "Last Update"), "990101 120000");
    EXPECT_EQ(hive.GetString(full, "Login Password"), "secret");
    EXPECT_EQ(hive.GetString(full, "NEWSRC File"), "C:\\Gleanwick\\news.example.com.newsrc");
    EXPECT_EQ(hive.GetDword(full, "Login Required"), 1u);
    EXPECT_EQ(hive.GetDword(full, "Port"), 563u);
    EXPECT_EQ(hive.GetDword(full, "Timeout"), 60000u);

    // A server lacking values gets a section with only the ones it had.
    EXPECT_EQ(ValueNames(hive, New("Servers\\partial.example.com")),
              (std::vector<std::string>{"Login User", "Port"}));

    EXPECT_EQ(ValueNames(hive, New("Mime")), (std::vector<std::string>{"image/jpeg", "text"}));
    EXPECT_EQ(hive.GetDword(New("Mime"), "text"), 0u);

    EXPECT_EQ(profile.GetProfileInt("Settings", "m_bBackupNewsrc", 7), 0u);
    EXPECT_EQ(profile.GetProfileInt("Settings", "m_bCheckVer", 7), 1u);
    EXPECT_EQ(profile.GetProfileInt("Settings", "m_bDecodeNoLines", 7), 1u);
    EXPECT_EQ(profile.GetProfileInt("Settings", "m_bDecodeNoPartID", 7), 0u);
    EXPECT_EQ(profile.GetProfileInt("Settings", "m_bDecodeNoSubject", 7), 1u);
    EXPECT_EQ(profile.GetProfileInt("Settings", "m_bDeleteFails", 7), 0u);
    EXPECT_EQ(profile.GetProfileString("Settings", "m_DecodeDir"), "D:\\Binaries\\");
    EXPECT_EQ(profile.GetProfileInt("Settings", "m_uMaxLines", 7), 0u); // not the default
    EXPECT_EQ(profile.GetProfileInt("Settings", "m_uMinLines", 7), 20u);
    EXPECT_EQ(profile.GetProfileInt("Settings", "m_bDecodeReplies", 7), 1u);

    // The older layout itself is left as it was.
    EXPECT_EQ(hive.GetDword(Old("Decode"), "Max Lines"), 0u);
}

TEST(SettingsMigrationTest, CopiesOnlyOnce) {
    CHive hive;
    CProfile profile(hive);
    FillOldLayout(hive);
    MigrateSettings(profile);
    hive.SetDword(Old("Decode"), "Min Lines", 999);
    hive.SetDword(Old("Servers\\late.example.com"), "Port", 1);
    profile.WriteProfileInt("Settings", "m_uMinLines", 300);
    MigrateSettings(profile);
    EXPECT_EQ(profile.GetProfileInt("Settings", "m_uMinLines", 0), 300u);
    EXPECT_FALSE(hive.KeyExists(New("Servers\\late.example.com")));
}

TEST(SettingsMigrationTest, BothLayoutsPresentCopiesNothing) {
    CHive hive;
    CProfile profile(hive);
    FillOldLayout(hive);
    profile.WriteProfileInt("Settings", "m_uMaxLines", 5000);
    MigrateSettings(profile);
    EXPECT_EQ(ValueNames(hive, New("Settings")), std::vector<std::string>{"m_uMaxLines"});
    EXPECT_EQ(profile.GetProfileInt("Settings", "m_uMaxLines", 0), 5000u);
    EXPECT_FALSE(hive.KeyExists(New("Servers")));
    EXPECT_FALSE(hive.KeyExists(New("Mime")));
}

TEST(SettingsMigrationTest, NeitherLayoutWritesNothing) {
    CHive hive;
    CProfile profile(hive);
    MigrateSettings(profile);
    EXPECT_FALSE(hive.KeyExists(kNew));
    EXPECT_FALSE(hive.IsModified());
}

TEST(SettingsMigrationTest, MissingSubkeysDoNotStopTheOthers) {
    CHive hive;
    CProfile profile(hive);
    FillOldLayout(hive);
    hive.DeleteKey(Old("Decode"));
    hive.DeleteKey(Old("Settings"));
    MigrateSettings(profile);
    EXPECT_EQ(hive.GetDword(New("Servers\\news.example.com"), "Port"), 563u);
    EXPECT_EQ(hive.GetDword(New("Mime"), "image/jpeg"), 1u);
    EXPECT_FALSE(hive.KeyExists(New("Settings")));

    CHive other;
    CProfile otherProfile(other);
    FillOldLayout(other);
    other.DeleteKey(Old("Decode"));
    other.DeleteKey(Old("Servers"));
    other.DeleteKey(Old("Mime"));
    MigrateSettings(otherProfile);
    EXPECT_EQ(ValueNames(other, New("Settings")),
              (std::vector<std::string>{"m_bBackupNewsrc", "m_bCheckVer"}));
}

TEST(SettingsMigrationTest, AServerWithoutValuesIsStillKept) {
    CHive hive;
    CProfile profile(hive);
    hive.CreateKey(Old("Servers\\bare.example.com"));
    MigrateSettings(profile);
    EXPECT_TRUE(hive.KeyExists(New("Servers\\bare.example.com")));
    EXPECT_EQ(profile.GetProfileInt("Servers\\bare.example.com", "Port", 119), 119u);
}

TEST(SettingsMigrationTest, UnreadableValuesAreSkippedAndTheRestCopied) {
    CHive hive;
    CProfile profile(hive);
    hive.SetDword(Old("Mime"), "image/gif", 1);
    hive.SetString(Old("Mime"), "text/plain", "extract");  // not a number
    hive.SetDword(Old("Mime"), std::string(1000, 'x'), 1); // a name too long
    hive.SetBinary(Old("Mime"), "audio", std::string("\x01\x00\x00\x00", 4));
    hive.SetBinary(Old("Mime"), "video", std::string("\x01\x00", 2));
    hive.SetDword(Old("Mime"), "image/png", 0);
    hive.SetString(Old("Decode"), "Max Lines", "100");
    hive.SetDword(Old("Decode"), "Folder", 5);
    hive.SetString(Old("Servers\\s"), "Login Password", std::string(1000, 'p'));
    hive.SetString(Old("Servers\\s"), "Login User", std::string(999, 'u'));
    MigrateSettings(profile);

    EXPECT_EQ(ValueNames(hive, New("Mime")),
              (std::vector<std::string>{"image/gif", "audio", "image/png"}));
    EXPECT_EQ(hive.GetDword(New("Mime"), "audio"), 1u);
    EXPECT_EQ(hive.QueryValue(New("Settings"), "m_uMaxLines"), nullptr);
    EXPECT_EQ(hive.QueryValue(New("Settings"), "m_DecodeDir"), nullptr);
    EXPECT_EQ(ValueNames(hive, New("Servers\\s")), std::vector<std::string>{"Login User"});
}

// An upgrade as a user meets it: an exported older layout in the hive file, migrated, saved and
// read back by the next start.
TEST(SettingsMigrationTest, MigratedFileSurvivesTheNextStart) {
    std::string folder = (std::filesystem::temp_directory_path() / "gw-migrate-XXXXXX").string();
    ASSERT_NE(mkdtemp(folder.data()), nullptr);
    const std::string path = folder + "/HKCU.reg";
    std::ofstream(path, std::ios::binary)
        << "Windows Registry Editor Version 5.00\r\n\r\n"
           "[HKEY_CURRENT_USER\\Software\\Hollowfen\\Gleanwick 97\\Servers\\news.example.com]\r\n"
           "\"Port\"=dword:00000077\r\n\"Login User\"=\"a \\\"b\\\"\"\r\n\r\n"
           "[HKEY_CURRENT_USER\\Software\\Hollowfen\\Gleanwick 97\\Mime]\r\n"
           "\"image/jpeg\"=dword:00000001\r\n\r\n"
           "[HKEY_CURRENT_USER\\Software\\Hollowfen\\Gleanwick 97\\Decode]\r\n"
           "\"Folder\"=\"C:\\\\Decodes\\\\\"\r\n\"Max Lines\"=dword:00000000\r\n";
    {
        CHive hive;
        ASSERT_EQ(hive.Load(path), CHive::LoadResult::Loaded) << hive.LastError();
        CProfile profile(hive);
        MigrateSettings(profile);
        ASSERT_TRUE(hive.Save()) << hive.LastError();
    }
    CHive hive;
    ASSERT_EQ(hive.Load(path), CHive::LoadResult::Loaded);
    CProfile profile(hive);
    EXPECT_EQ(profile.GetProfileInt("Servers\\news.example.com", "Port", 0), 0x77u);
    EXPECT_EQ(profile.GetProfileString("Servers\\news.example.com", "Login User"), "a \"b\"");
    EXPECT_EQ(profile.GetProfileInt("Mime", "image/jpeg", 0), 1u);
    EXPECT_EQ(profile.GetProfileString("Settings", "m_DecodeDir"), "C:\\Decodes\\");
    EXPECT_EQ(profile.GetProfileInt("Settings", "m_uMaxLines", 7), 0u);
    std::filesystem::remove_all(folder);
}

} // namespace

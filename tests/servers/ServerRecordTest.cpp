#include <gtest/gtest.h>

#include <tuple>

#include "servers/CServerRecord.h"
#include "support/ProfileHome.h"

namespace {

const std::string kServersKey = "Software\\Hollowfen\\Gleanwick\\Servers";

TEST(ServerRecordTest, AbsentValuesReadAsDefaults) {
    ProfileHome home;
    home.hive.CreateKey(kServersKey + "\\bare.example.com");
    const CServerRecord::Settings settings = CServerRecord(home.profile, "bare.example.com").Read();
    EXPECT_EQ(settings.uPort, 119u);
    EXPECT_EQ(settings.uTimeout, 30000u);
    EXPECT_FALSE(settings.bLoginRequired);
    EXPECT_EQ(settings.strUser, "");
    EXPECT_EQ(settings.strPassword, "");
}

TEST(ServerRecordTest, WriteCreatesTheKeyInTheGivenValueOrder) {
    ProfileHome home;
    CServerRecord record(home.profile, "news.example.com");
    CServerRecord::Settings settings;
    settings.bLoginRequired = true;
    settings.strUser = "";
    settings.strPassword = "secret";
    settings.uPort = 563;
    settings.uTimeout = 45000;
    record.Write(settings);

    const std::string key = kServersKey + "\\news.example.com";
    std::vector<std::string> names;
    for (std::size_t i = 0; const CHive::Value* value = home.hive.EnumValue(key, i); ++i) {
        names.push_back(value->name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Login Required", "Login User", "Login Password",
                                               "Port", "Timeout"}));
    EXPECT_EQ(record.GetTimeout(), 45000u) << "values off the offered list are kept";
    EXPECT_EQ(record.GetPort(), 563u);
    EXPECT_TRUE(record.GetLoginRequired());
    EXPECT_EQ(record.GetLoginPassword(), "secret");
}

TEST(ServerRecordTest, EnumerateInHiveOrderAndRemoveWithAllValues) {
    ProfileHome home;
    EXPECT_TRUE(CServerRecord::Enumerate(home.hive).empty()) << "no Servers key: no servers";

    for (const char* name : {"news.b.org", "News.A.org", "news.c.org"}) {
        CServerRecord record(home.profile, name);
        record.Write({});
        record.WriteLastUpdate();
        record.GetNewsrcPath();
    }
    EXPECT_EQ(CServerRecord::Enumerate(home.hive),
              (std::vector<std::string>{"News.A.org", "news.b.org", "news.c.org"}));

    CServerRecord::Remove(home.hive, "news.b.org");
    EXPECT_EQ(CServerRecord::Enumerate(home.hive),
              (std::vector<std::string>{"News.A.org", "news.c.org"}));
    CServerRecord again(home.profile, "news.b.org");
    EXPECT_EQ(again.GetLastUpdate(), "");
    EXPECT_EQ(home.profile.GetProfileString("Servers\\news.b.org", "NEWSRC File"), "");
}

// What the connections read: a stored value that would switch their time limits off reads
// as the default; anything else as stored.
TEST(ServerRecordTest, TimeoutsThatWouldDisableTheTimeLimitsReadAsTheDefault) {
    ProfileHome home;
    CServerRecord record(home.profile, "news.example.com");
    for (const auto& [stored, read] : {std::pair{0u, 30000u},
                                       {1u, 1u},
                                       {45000u, 45000u},
                                       {CServerRecord::kMaxTimeout, CServerRecord::kMaxTimeout},
                                       {CServerRecord::kMaxTimeout + 1, 30000u},
                                       {0xFFFFFFFFu, 30000u}}) {
        home.profile.WriteProfileInt(record.Section(), "Timeout", stored);
        EXPECT_EQ(record.GetTimeout(), read) << stored;
        EXPECT_EQ(record.Read().uTimeout, read) << stored;
    }
}

// Depth and connections: a missing value reads as the default, 0 as 1 (the specified flow),
// and values past the limit as the limit.
TEST(ServerRecordTest, PipelineDepthAndConnectionsAreBounded) {
    ProfileHome home;
    CServerRecord record(home.profile, "news.example.com");
    EXPECT_EQ(record.GetPipelineDepth(), 256u);
    EXPECT_EQ(record.GetConnections(), 4u);
    for (const auto& [stored, depth, connections] : {std::tuple{0u, 1u, 1u},
                                                     {1u, 1u, 1u},
                                                     {16u, 16u, 16u},
                                                     {17u, 17u, 16u},
                                                     {1025u, 1024u, 16u},
                                                     {0xFFFFFFFFu, 1024u, 16u}}) {
        home.profile.WriteProfileInt(record.Section(), "Pipeline Depth", stored);
        home.profile.WriteProfileInt(record.Section(), "Connections", stored);
        EXPECT_EQ(record.GetPipelineDepth(), depth) << stored;
        EXPECT_EQ(record.GetConnections(), connections) << stored;
    }
}

TEST(ServerRecordTest, ConfirmedLogonIsStoredWithLoginRequired) {
    ProfileHome home;
    CServerRecord record(home.profile, "news.example.com");
    record.WriteLogin("ann", "pw");
    EXPECT_TRUE(record.GetLoginRequired());
    EXPECT_EQ(record.GetLoginUser(), "ann");
    EXPECT_EQ(record.GetLoginPassword(), "pw");
    EXPECT_EQ(record.GetPort(), 119u) << "the other values stay absent";
}

// The hive folds ASCII case only: "News.Example.COM" and "news.example.com" share a key,
// "Ä" and "ä" do not.
TEST(ServerRecordTest, NamesDifferingInAsciiCaseShareOneRecord) {
    EXPECT_TRUE(CServerRecord::SameRecord("News.Example.COM", "news.example.com"));
    EXPECT_FALSE(CServerRecord::SameRecord("news.example.com", "news.example.co"));
    EXPECT_FALSE(CServerRecord::SameRecord("\xC3\x84", "\xC3\xA4"));
    ProfileHome home;
    CServerRecord::Settings settings;
    settings.uPort = 563;
    CServerRecord(home.profile, "News.Example.COM").Write(settings);
    EXPECT_EQ(CServerRecord(home.profile, "news.example.com").GetPort(), 563u);
}

TEST(ServerRecordTest, NamesThatWouldBendKeyOrFilePathsAreInvalid) {
    for (const char* name : {"news.example.com", "10.0.0.1", "News-Server_2"}) {
        EXPECT_TRUE(CServerRecord::IsValidName(name)) << name;
    }
    for (const char* name : {"", ".", "..", "a\\b", "../etc", "a\nb", "a\x7f"}) {
        EXPECT_FALSE(CServerRecord::IsValidName(name)) << name;
    }
}

// A record written by the dialog without touching the encryption keeps no encryption values:
// it reads as plain NNTP, as a record from before they existed.
TEST(ServerRecordTest, EncryptionValuesAreWrittenOnlyWhenTheyChange) {
    ProfileHome home;
    CServerRecord record(home.profile, "news.example.com");
    CServerRecord::Settings settings;
    record.Write(settings);
    const std::string key = kServersKey + "\\news.example.com";
    EXPECT_EQ(home.hive.EnumValue(key, 5), nullptr);
    EXPECT_EQ(record.GetEncryption(), CServerRecord::Encryption::None);
    EXPECT_TRUE(record.GetVerifyCertificate());

    settings.eEncryption = CServerRecord::Encryption::StartTls;
    settings.bVerifyCertificate = false;
    record.Write(settings);
    EXPECT_EQ(record.GetEncryption(), CServerRecord::Encryption::StartTls);
    EXPECT_FALSE(record.GetVerifyCertificate());
    // Back to the defaults: stored as such, no longer absent.
    record.Write(CServerRecord::Settings{});
    EXPECT_EQ(record.Read().eEncryption, CServerRecord::Encryption::None);
    EXPECT_TRUE(record.Read().bVerifyCertificate);
}

// An unknown "Encryption" never means clear text; a TLS record without "Port" uses 563.
TEST(ServerRecordTest, EncryptionValuesAsRead) {
    ProfileHome home;
    CServerRecord record(home.profile, "news.example.com");
    const std::string section = record.Section();
    home.profile.WriteProfileInt(section, "Encryption", 7);
    EXPECT_EQ(record.GetEncryption(), CServerRecord::Encryption::StartTls);
    EXPECT_EQ(record.GetPort(), 119u);
    home.profile.WriteProfileInt(section, "Encryption", 1);
    EXPECT_EQ(record.GetPort(), 563u);
    home.profile.WriteProfileInt(section, "Port", 8563);
    EXPECT_EQ(record.GetPort(), 8563u);
}

TEST(ServerRecordTest, FingerprintsIgnoreColonsAndCaseAndMustBeWhole) {
    const std::string digits(64, 'A');
    std::string grouped; // "ab:ab:...:ab", as certificate viewers show it, in lower case
    std::string expected;
    for (int i = 0; i < 32; ++i) {
        grouped += i ? ":ab" : "ab";
        expected += "AB";
    }
    EXPECT_EQ(CServerRecord::CanonicalFingerprint(grouped), expected);
    EXPECT_EQ(CServerRecord::CanonicalFingerprint(digits), digits);
    EXPECT_EQ(CServerRecord::CanonicalFingerprint(digits.substr(1)), "");
    EXPECT_EQ(CServerRecord::CanonicalFingerprint(digits + "0"), "");
    EXPECT_EQ(CServerRecord::CanonicalFingerprint(digits.substr(1) + "G"), "");
    EXPECT_EQ(CServerRecord::CanonicalFingerprint(""), "");

    ProfileHome home;
    CServerRecord record(home.profile, "news.example.com");
    record.WriteCertificateFingerprint(" " + grouped + " ");
    EXPECT_EQ(record.GetCertificateFingerprint(), expected);
}

} // namespace

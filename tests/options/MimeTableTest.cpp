#include <gtest/gtest.h>

#include "options/CMimeTable.h"
#include "support/ProfileHome.h"

namespace {

std::vector<std::pair<std::string, uint32_t>> Rows(const CHive& hive) {
    std::vector<std::pair<std::string, uint32_t>> rows;
    for (const MimeActionEntry& entry : CMimeTable::LoadMimeTable(hive)) {
        rows.emplace_back(entry.type, entry.action);
    }
    return rows;
}

struct Stored {
    std::string name;
    uint32_t type;
    std::string data;
    bool operator==(const Stored&) const = default;
};

std::vector<Stored> StoredValues(const CHive& hive) {
    std::vector<Stored> values;
    for (std::size_t i = 0; const CHive::Value* value = hive.EnumValue(CMimeTable::kKey, i); ++i) {
        values.push_back({value->name, value->type, value->data});
    }
    return values;
}

const std::string kLongName(1000, 'x');

TEST(MimeTableTest, RowsFollowValueCreationOrder) {
    ProfileHome home;
    EXPECT_TRUE(Rows(home.hive).empty()) << "a missing key gives an empty table";
    home.hive.SetDword(CMimeTable::kKey, "video", 0);
    home.hive.SetDword(CMimeTable::kKey, "image/jpeg", 1);
    home.hive.SetDword(CMimeTable::kKey, "Application/Zip", 5);
    home.hive.SetDword(CMimeTable::kKey, "IMAGE/JPEG", 0); // same value, keeps its place
    EXPECT_EQ(Rows(home.hive), (std::vector<std::pair<std::string, uint32_t>>{
                                   {"video", 0}, {"image/jpeg", 0}, {"Application/Zip", 5}}));
}

TEST(MimeTableTest, EnumerationStopsAtTheFirstValueThatDoesNotFit) {
    ProfileHome home;
    home.hive.SetDword(CMimeTable::kKey, "text", 1);
    home.hive.SetDword(CMimeTable::kKey, std::string(999, 'n'), 1);
    home.hive.SetDword(CMimeTable::kKey, std::string(1000, 'x'), 1);
    home.hive.SetDword(CMimeTable::kKey, "audio", 1);
    auto rows = Rows(home.hive);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].first, "text");

    ProfileHome other;
    other.hive.SetDword(CMimeTable::kKey, "image", 1);
    other.hive.SetBinary(CMimeTable::kKey, "wide", std::string(5, '\1'));
    other.hive.SetDword(CMimeTable::kKey, "video", 1);
    EXPECT_EQ(Rows(other.hive), (std::vector<std::pair<std::string, uint32_t>>{{"image", 1}}));
}

// The table as loaded goes back as it was, also what it could not read: a value of another
// type that fits a row, and the values after the first one that does not.
TEST(MimeTableTest, SavingTheLoadedTableStoresItBackExactly) {
    ProfileHome home;
    home.hive.Load(home / "HKCU.reg");
    home.hive.SetDword(CMimeTable::kKey, "video", 0);
    home.hive.SetString(CMimeTable::kKey, "Text/Plain", "\1");
    home.hive.SetDword(CMimeTable::kKey, "image", 7);
    home.hive.SetDword(CMimeTable::kKey, kLongName, 1);
    home.hive.SetDword(CMimeTable::kKey, "audio", 1);
    home.hive.SetBinary(CMimeTable::kKey, "wide", std::string(5, '\1'));
    const std::vector<Stored> before = StoredValues(home.hive);
    ASSERT_TRUE(home.hive.Save());

    CMimeTable::SaveMimeTable(home.hive, CMimeTable::LoadMimeTable(home.hive));
    EXPECT_EQ(StoredValues(home.hive), before);
    EXPECT_FALSE(home.hive.IsModified()) << "an unchanged table leaves the file alone";
}

TEST(MimeTableTest, SavingAChangedTableRewritesTheRowsInItsOrder) {
    ProfileHome home;
    home.hive.SetDword(CMimeTable::kKey, "video", 0);
    home.hive.SetString(CMimeTable::kKey, "text", "\1");
    home.hive.SetDword(CMimeTable::kKey, "image", 1);
    home.hive.SetDword(CMimeTable::kKey, kLongName, 1);
    home.hive.SetDword(CMimeTable::kKey, "audio", 1);
    home.hive.SetDword(CMimeTable::kKey, "message", 0);

    std::vector<MimeActionEntry> table = CMimeTable::LoadMimeTable(home.hive);
    ASSERT_EQ(table.size(), 3u);
    table.erase(table.begin());              // video removed
    table[1].action = 0;                     // image now ignored
    table.push_back({1, "application/zip"}); // added
    table.push_back({1, "AUDIO"});           // shadows a value the table could not read
    CMimeTable::SaveMimeTable(home.hive, table);

    const std::string one("\1\0\0\0", 4);
    const std::string zero(4, '\0');
    EXPECT_EQ(StoredValues(home.hive), (std::vector<Stored>{{"text", CHive::kString, "\1"},
                                                            {"image", CHive::kDword, zero},
                                                            {"application/zip", CHive::kDword, one},
                                                            {"AUDIO", CHive::kDword, one},
                                                            {kLongName, CHive::kDword, one},
                                                            {"message", CHive::kDword, zero}}));
    EXPECT_EQ(Rows(home.hive),
              (std::vector<std::pair<std::string, uint32_t>>{
                  {"text", 1}, {"image", 0}, {"application/zip", 1}, {"AUDIO", 1}}));
}

// A fresh installation has no key: the user's first rows must not be dropped.
TEST(MimeTableTest, SavingCreatesAMissingKeyOnlyForRows) {
    ProfileHome home;
    CMimeTable::SaveMimeTable(home.hive, {});
    EXPECT_FALSE(home.hive.KeyExists(CMimeTable::kKey));
    EXPECT_FALSE(home.hive.IsModified());

    CMimeTable::SaveMimeTable(home.hive, {{1, "image"}, {0, "text/html"}});
    EXPECT_EQ(Rows(home.hive),
              (std::vector<std::pair<std::string, uint32_t>>{{"image", 1}, {"text/html", 0}}));
    CMimeTable::SaveMimeTable(home.hive, {});
    EXPECT_TRUE(home.hive.KeyExists(CMimeTable::kKey));
    EXPECT_TRUE(Rows(home.hive).empty());
}

} // namespace

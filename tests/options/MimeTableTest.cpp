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

} // namespace

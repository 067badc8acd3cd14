#include "platform/CStringTable.h"
#include "platform/StringIds.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

namespace {

TEST(StringTableTest, TextsComeBackWithTheirEscapesResolved) {
    EXPECT_EQ(CStringTable::Load(ids::kConnectingTo), "Connecting to %1");
    EXPECT_EQ(CStringTable::Load(ids::kFileDecodeLogLine), "File Decode: %s, %s, %s\n");
    EXPECT_EQ(CStringTable::Load(ids::kMainTitle), "Hollowfen Gleanwick\n");
    EXPECT_EQ(CStringTable::Load(32781),
              "Start/Stop extracting binary files from newsgroups\nStart/Stop Extract");
    EXPECT_EQ(CStringTable::Load(ids::kNewerVersion),
              "Hollowfen Gleanwick had detected that there is a newer version available at "
              "\"%1\".  Would you like to download it now?");
    EXPECT_EQ(CStringTable::Load(ids::kMemoryKb), "%lu KB");
}

TEST(StringTableTest, IndexedFamiliesFollowTheFieldCode) {
    EXPECT_EQ(CStringTable::Load(ids::kKillingAuthor + 2), "Killing message with file name of: %1");
    EXPECT_EQ(CStringTable::Load(ids::kAddingKillRule + 1), "Adding kill rule with subject of: %1");
    EXPECT_EQ(CStringTable::Load(ids::kTabAll + 2), "New");
}

TEST(StringTableTest, FormatReplacesEveryPercentOne) {
    EXPECT_EQ(CStringTable::Format(ids::kConfirmRemoveServer, "news.example.com"),
              "Are you sure you want to remove news.example.com from your server list?");
    EXPECT_EQ(CStringTable::Format(ids::kExtractComplete, "ignored"), "Extract Complete");
    // An argument holding "%1" itself is not substituted again.
    EXPECT_EQ(CStringTable::Format(ids::kInvalidGroup, "%1%1"), "Invalid group %1%1");
    EXPECT_EQ(CStringTable::Format(ids::kAlreadyDecoded, ""), "Already decoded ");
}

TEST(StringTableTest, UnknownNumbersAreEmpty) {
    EXPECT_EQ(CStringTable::Load(24), "");
    EXPECT_EQ(CStringTable::Load(999999), "");
    EXPECT_EQ(CStringTable::Format(24, "x"), "");
}

// Every entry of the text file reaches the compiled table, and no number is used twice.
TEST(StringTableTest, EveryEntryOfTheFileIsCompiledIn) {
    std::istringstream file(ReadFile(std::string(GW_FIXTURES_DIR) + "/../../res/strings.txt"));
    std::set<unsigned> seen;
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        const size_t tab = line.find('\t');
        ASSERT_NE(tab, std::string::npos) << line;
        const unsigned id = static_cast<unsigned>(std::stoul(line.substr(0, tab)));
        EXPECT_TRUE(seen.insert(id).second) << "duplicate " << id;
        EXPECT_FALSE(CStringTable::Load(id).empty()) << id;
        EXPECT_EQ(CStringTable::Load(id).find('\\'), std::string::npos) << id;
    }
    EXPECT_GE(seen.size(), 70u);
    for (unsigned id = 5; id <= 50; ++id) {
        const bool unused = id == 24 || id == 26 || id == 27 || (id >= 36 && id <= 40) || id == 49;
        EXPECT_EQ(seen.count(id) == 0, unused) << id;
    }
}

} // namespace

#include <gtest/gtest.h>

#include "platform/ConnectionErrors.h"
#include "platform/Diagnostics.h"
#include "servers/CGroupTable.h"
#include "support/ProfileHome.h"

namespace {

constexpr const char* kServer = "news.example.com";

class NewsrcTest : public ::testing::Test {
  protected:
    std::string NewsrcPath() const { return home / (std::string(kServer) + ".newsrc"); }

    // Loads `text` as the server's .newsrc into a fresh table.
    std::unique_ptr<CGroupTable> LoadText(const std::string& text) {
        WriteFile(NewsrcPath(), text);
        auto table = std::make_unique<CGroupTable>(home.profile, kServer);
        table->Load();
        return table;
    }

    std::string SaveText(CGroupTable& table) {
        table.Save();
        return ReadFile(NewsrcPath());
    }

    ProfileHome home;
};

TEST_F(NewsrcTest, FileWrittenByTheProgramLoadsAndSavesUnchanged) {
    const std::string text = "alt.binaries.test: 1200 1187 1190\n"
                             "comp.misc! 0\n"
                             "alt.dup: 5\n"
                             "alt.dup! 7 3\n"
                             "alt.big: 4294967295 3000000000\n";
    auto table = LoadText(text);

    ASSERT_EQ(table->GetCount(), 5u);
    const GroupRecord& test = table->GetAt(0);
    EXPECT_EQ(test.name, "alt.binaries.test");
    EXPECT_TRUE(test.subscribed);
    EXPECT_FALSE(test.isNew);
    EXPECT_EQ(test.last, 1200u);
    EXPECT_EQ(test.pending, (std::vector<uint32_t>{1187, 1190}));
    EXPECT_FALSE(table->GetAt(1).subscribed);
    EXPECT_EQ(table->GetAt(2).name, table->GetAt(3).name);
    EXPECT_EQ(table->GetAt(4).last, 4294967295u);
    EXPECT_TRUE(table->HasSubscribedGroups());

    EXPECT_EQ(SaveText(*table), text);
}

TEST_F(NewsrcTest, ForeignNotationsAndMarks) {
    auto table = LoadText("comp.misc: 1-500,510\n"
                          "alt.both!: 42 7\n"
                          "alt.neg! -1\n"
                          "alt.junk: 12abc x9\n");
    ASSERT_EQ(table->GetCount(), 4u);
    EXPECT_EQ(table->GetAt(0).last, 1u);
    EXPECT_TRUE(table->GetAt(0).pending.empty());
    EXPECT_EQ(table->GetAt(1).name, "alt.both");
    EXPECT_TRUE(table->GetAt(1).subscribed);
    EXPECT_EQ(table->GetAt(1).last, 42u);
    EXPECT_EQ(table->GetAt(1).pending, std::vector<uint32_t>{7});
    EXPECT_EQ(table->GetAt(2).last, 4294967295u);
    EXPECT_EQ(table->GetAt(3).last, 12u);
    EXPECT_EQ(table->GetAt(3).pending, std::vector<uint32_t>{0});
}

TEST_F(NewsrcTest, CrLfAcceptedAndLfWritten) {
    auto table = LoadText("alt.a: 10 4\r\nalt.b! 3\r\n");
    ASSERT_EQ(table->GetCount(), 2u);
    EXPECT_EQ(table->GetAt(0).pending, std::vector<uint32_t>{4});
    EXPECT_EQ(SaveText(*table), "alt.a: 10 4\nalt.b! 3\n");
    // A lone CR inside a name is no group: it would split the command sent for it.
    auto edited = LoadText("alt.a: 1\nalt.x\rQUIT: 2\nalt.b: 3\n");
    ASSERT_EQ(edited->GetCount(), 2u);
    EXPECT_EQ(edited->GetAt(1).name, "alt.b");
}

TEST_F(NewsrcTest, IncompleteLinesKeepTheirGroupAndEmptyLinesAreSkipped) {
    auto table = LoadText("alt.nomark\n"
                          "\n"
                          "alt.nonumber:\n"
                          "   \r\n"
                          "alt.nomark.number 17\n"
                          "!:\n"
                          "alt.last: 9\n");
    ASSERT_EQ(table->GetCount(), 4u);
    EXPECT_EQ(table->GetAt(0).name, "alt.nomark");
    EXPECT_FALSE(table->GetAt(0).subscribed);
    EXPECT_EQ(table->GetAt(0).last, 0u);
    EXPECT_EQ(table->GetAt(1).name, "alt.nonumber");
    EXPECT_TRUE(table->GetAt(1).subscribed);
    EXPECT_EQ(table->GetAt(1).last, 0u);
    EXPECT_EQ(table->GetAt(2).name, "alt.nomark.number");
    EXPECT_EQ(table->GetAt(2).last, 17u);
    EXPECT_EQ(table->GetAt(3).name, "alt.last");

    EXPECT_EQ(SaveText(*table),
              "alt.nomark! 0\nalt.nonumber: 0\nalt.nomark.number! 17\nalt.last: 9\n");
}

TEST_F(NewsrcTest, VeryLongLinesAreReadWhole) {
    const std::string name = "alt." + std::string(70000, 'x');
    std::string line = name + ":";
    for (uint32_t i = 1; i <= 5000; ++i) {
        line += " " + std::to_string(i);
    }
    auto table = LoadText(line + "\nalt.next! 3\n");
    ASSERT_EQ(table->GetCount(), 2u);
    EXPECT_EQ(table->GetAt(0).name, name);
    EXPECT_EQ(table->GetAt(0).last, 1u);
    EXPECT_EQ(table->GetAt(0).pending.size(), 4999u);
    EXPECT_EQ(table->GetAt(0).pending.back(), 5000u);
    EXPECT_EQ(SaveText(*table), line + "\nalt.next! 3\n");
}

TEST_F(NewsrcTest, SubscribedGroupsAreTracedAtLevelTwo) {
    const std::string trace = home / "trace.dbg";
    for (int level : {1, 2}) {
        ASSERT_TRUE(OpenDiagnosticsFile(trace));
        g_nDebugLevel = level;
        auto table = LoadText("alt.sub: 10 4\nalt.unsub! 3\n");
        table->Save();
        g_nDebugLevel = 0;
        CloseDiagnosticsFile();
        EXPECT_EQ(ReadFile(trace), level < 2 ? ""
                                             : "Read Group: alt.sub Last = 10\n"
                                               "Write Group: alt.sub Last = 10\n");
    }
}

TEST_F(NewsrcTest, EmptyTableWritesEmptyFile) {
    CGroupTable table(home.profile, kServer);
    WriteFile(NewsrcPath(), "old.group: 1\n");
    EXPECT_EQ(SaveText(table), "");
}

TEST_F(NewsrcTest, TheBackupHoldsTheFileFromBeforeThisProcessChangedIt) {
    const std::string backupPath = NewsrcPath() + ".backup";
    auto table = LoadText("first: 1\n");

    table->GetAt(0).last = 2;
    SaveText(*table);
    EXPECT_EQ(ReadFile(backupPath), "first: 1\n");

    // The saves after each group and the one at exit leave it alone.
    table->GetAt(0).last = 3;
    EXPECT_EQ(SaveText(*table), "first: 3\n");
    EXPECT_EQ(ReadFile(backupPath), "first: 1\n");

    // The next process backs up the file as this one left it; unless the setting is off.
    auto next = LoadText(ReadFile(NewsrcPath()));
    SaveText(*next);
    EXPECT_EQ(ReadFile(backupPath), "first: 3\n");
    home.profile.WriteProfileInt("Settings", "m_bBackupNewsrc", 0);
    auto off = LoadText("first: 5\n");
    EXPECT_EQ(SaveText(*off), "first: 5\n");
    EXPECT_EQ(ReadFile(backupPath), "first: 3\n");
}

TEST_F(NewsrcTest, BackupOfAMissingFileIsNoError) {
    CGroupTable table(home.profile, kServer);
    table.Append(std::make_unique<GroupRecord>(GroupRecord{7, false, true, "alt.x", {}}));
    EXPECT_EQ(SaveText(table), "alt.x: 7\n");
    EXPECT_FALSE(std::filesystem::exists(NewsrcPath() + ".backup"));
}

TEST_F(NewsrcTest, UnwritableFileThrowsAndKeepsOldContent) {
    home.profile.WriteProfileString(std::string("Servers\\") + kServer, "NEWSRC File",
                                    home / "missing-folder/x.newsrc");
    CGroupTable table(home.profile, kServer);
    EXPECT_THROW(table.Save(), std::runtime_error);

    // A file that exists but whose replacement cannot be put in place keeps its content.
    const std::string folder = home / "folder.newsrc";
    std::filesystem::create_directory(folder);
    WriteFile(folder + "/keep", "x");
    home.profile.WriteProfileString(std::string("Servers\\") + kServer, "NEWSRC File", folder);
    EXPECT_THROW(table.Save(), std::runtime_error);
    EXPECT_EQ(ReadFile(folder + "/keep"), "x");
    EXPECT_EQ(FilesIn(home / ""), 1u) << "no temporary file left behind";
}

TEST_F(NewsrcTest, DefaultPathIsStoredInTheServerRecordOnFirstUse) {
    CGroupTable table(home.profile, kServer);
    EXPECT_EQ(table.GetNewsrcPath(), NewsrcPath());
    const std::string section = std::string("Servers\\") + kServer;
    EXPECT_EQ(home.profile.GetProfileString(section, "NEWSRC File"), NewsrcPath());

    home.profile.WriteProfileString(section, "NEWSRC File", "/elsewhere/groups.newsrc");
    EXPECT_EQ(table.GetNewsrcPath(), "/elsewhere/groups.newsrc");
}

TEST_F(NewsrcTest, MissingFileWithoutConnectionLayerFailsLikeAFailedFetch) {
    CGroupTable::SetListHost(nullptr);
    CGroupTable table(home.profile, kServer);
    EXPECT_THROW(table.Load(), CConnectionException);
    EXPECT_EQ(table.GetCount(), 0u);
}

} // namespace

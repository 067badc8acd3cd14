#include "app/gui/CHelpFile.h"

#include <gtest/gtest.h>

#include "GuiTestSupport.h"
#include "app/gui/HelpIds.h"
#include "support/TempHome.h"

namespace {

std::vector<std::string> Paragraphs(const CHelpFile& file, uint32_t id) {
    const HelpTopic* topic = file.Find(id);
    return topic != nullptr ? topic->paragraphs : std::vector<std::string>{};
}

TEST(HelpFileTest, TopicsByDecimalAndHexadecimalNumber) {
    CHelpFile file;
    file.Parse("# comment\n"
               "== Commands ==\n"
               "[32781] Extract\n"
               "Starts an\n"
               "  extraction.  \n"
               "\n"
               "# a comment inside a topic does not end its paragraph\n"
               "Second paragraph.\r\n"
               "[0x80640001]   OK  \r\n"
               "Closes the sheet.\n"
               "== Dialogs ==\n"
               "[ 0X3F3 ] Memory Available\n"
               "RAM.\n");
    EXPECT_TRUE(file.IsLoaded());
    EXPECT_TRUE(file.Problems().empty());
    ASSERT_EQ(file.Topics().size(), 3u);
    EXPECT_EQ(file.Find(32781)->title, "Extract");
    EXPECT_EQ(Paragraphs(file, 32781),
              (std::vector<std::string>{"Starts an extraction.", "Second paragraph."}));
    EXPECT_EQ(file.Find(0x80640001)->title, "OK");
    EXPECT_EQ(Paragraphs(file, 0x80640001), std::vector<std::string>{"Closes the sheet."});
    EXPECT_EQ(file.Find(1011)->title, "Memory Available");
    EXPECT_EQ(file.Chapters(), (std::vector<std::string>{"Commands", "Dialogs"}));
    EXPECT_EQ(file.Find(32781)->chapter, 0u);
    EXPECT_EQ(file.Find(1011)->chapter, 1u);
}

TEST(HelpFileTest, MissingTopicsAndFiles) {
    CHelpFile file;
    file.Parse("[1] OK\nCloses.\n");
    EXPECT_EQ(file.Find(2), nullptr);
    EXPECT_EQ(file.Find(0), nullptr);

    EXPECT_FALSE(file.Load("/nonexistent/Gleanwick.hlp"));
    EXPECT_FALSE(file.IsLoaded());
    EXPECT_TRUE(file.Topics().empty());
    EXPECT_EQ(file.Find(1), nullptr);
}

TEST(HelpFileTest, LoadReadsTheFileAndReplacesEarlierTopics) {
    TempFolder folder;
    WriteFile(folder / "Gleanwick.hlp", "== Buttons ==\n[2] Cancel\nCloses without keeping.\n");
    CHelpFile file;
    file.Parse("[1] OK\nCloses.\n");
    ASSERT_TRUE(file.Load(folder / "Gleanwick.hlp"));
    EXPECT_EQ(file.Path(), folder / "Gleanwick.hlp");
    EXPECT_EQ(file.Find(1), nullptr);
    EXPECT_EQ(file.Find(2)->title, "Cancel");
}

// A broken line is reported with its number and skipped with its body; the topics around it
// still load.
TEST(HelpFileTest, MalformedLinesAreReportedAndSkipped) {
    CHelpFile file;
    file.Parse("text before any topic\n"   // 1
               "more of it\n"              // 2
               "[1] OK\n"                  // 3
               "Closes.\n"                 // 4
               "[12x] Broken number\n"     // 5
               "body of the broken one\n"  // 6
               "[0x100000000] Too large\n" // 7
               "[3 No bracket\n"           // 8
               "[4]\n"                     // 9
               "[1] OK again\n"            // 10
               "dropped\n"                 // 11
               "[0x] Empty hex\n"          // 12
               "[2] Cancel\n"              // 13
               "Closes without keeping.\n");
    EXPECT_EQ(file.Problems(),
              (std::vector<std::string>{
                  "line 1: text outside a topic",
                  "line 5: topic number is not a decimal or 0x hexadecimal 32-bit number",
                  "line 7: topic number is not a decimal or 0x hexadecimal 32-bit number",
                  "line 8: topic line without ']'", "line 9: topic 4 has no title",
                  "line 10: topic 1 is given twice",
                  "line 12: topic number is not a decimal or 0x hexadecimal 32-bit number"}));
    ASSERT_EQ(file.Topics().size(), 2u);
    EXPECT_EQ(file.Find(1)->title, "OK");
    EXPECT_EQ(Paragraphs(file, 1), std::vector<std::string>{"Closes."});
    EXPECT_EQ(Paragraphs(file, 2), std::vector<std::string>{"Closes without keeping."});
}

TEST(HelpFileTest, TopicsBeforeAnyChapterShareAnUntitledOne) {
    CHelpFile file;
    file.Parse("[1] OK\nx\n== Named ==\n[2] Cancel\ny\n");
    EXPECT_EQ(file.Chapters(), (std::vector<std::string>{"", "Named"}));
    EXPECT_EQ(file.Find(1)->chapter, 0u);
    EXPECT_EQ(file.Find(2)->chapter, 1u);
}

TEST(HelpFileTest, NumbersReadAsPeopleWriteThem) {
    EXPECT_EQ(CHelpFile::NumberText(1011), "1011");
    EXPECT_EQ(CHelpFile::NumberText(0xFFFF), "65535");
    EXPECT_EQ(CHelpFile::NumberText(0x80640001), "0x80640001");
    EXPECT_EQ(CHelpFile::NumberText(0x10000), "0x00010000");
}

// The file shipped with the program reads without a problem, and every topic says something.
TEST(HelpFileTest, TheShippedFileIsWellFormed) {
    CHelpFile file;
    ASSERT_TRUE(file.Load(RepositoryHelpFile()));
    EXPECT_TRUE(file.Problems().empty()) << file.Problems().front();
    EXPECT_GE(file.Topics().size(), 30u);
    for (const HelpTopic& topic : file.Topics()) {
        EXPECT_FALSE(topic.paragraphs.empty()) << topic.id;
        EXPECT_FALSE(file.Chapters()[topic.chapter].empty()) << topic.id;
    }
}

// The main window's commands have topics titled like their menu items.
TEST(HelpFileTest, EveryMainWindowCommandHasATopic) {
    CHelpFile file;
    ASSERT_TRUE(file.Load(RepositoryHelpFile()));
    const std::vector<std::pair<uint32_t, std::string>> commands = {
        {32772, "Servers"},
        {32779, "Newsgroups"},
        {32781, "Extract"},
        {32782, "Options"},
        {32785, "Kills"},
        {32786, "Catch-up Groups"},
        {32788, "Catch-up Current Group"},
        {32791, "Kill Author"},
        {32792, "Kill Subject"},
        {32793, "Kill Filename"},
        {57664, "About Hollowfen Gleanwick"},
        {57665, "Exit"},
        {57667, "Help Topics"},
        {57669, "Context Sensitive"},
        {59392, "Toolbar"},
        {59393, "Status Bar"},
    };
    for (const auto& [id, title] : commands) {
        ASSERT_NE(file.Find(id), nullptr) << id;
        EXPECT_EQ(file.Find(id)->title, title);
    }
    for (uint32_t pane : {helpids::kLogList, helpids::kProgressPanel, helpids::kArticleList})
        EXPECT_NE(file.Find(pane), nullptr) << pane;
}

} // namespace

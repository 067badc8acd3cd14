#include <gtest/gtest.h>

#include <sstream>

#include "app/CConsoleArticleList.h"
#include "app/CConsoleGroupProgress.h"
#include "app/CConsoleLogList.h"
#include "app/CConsoleProgress.h"
#include "platform/ConsoleText.h"

namespace {

TEST(ConsoleText, KeepsValidUtf8AndReadsOtherBytesAsLatin1) {
    EXPECT_EQ(ConsoleText("caf\xc3\xa9.jpg"), "caf\xc3\xa9.jpg");
    // 0xE9 alone is not UTF-8: shown as Latin-1 e-acute.
    EXPECT_EQ(ConsoleText("caf\xe9.jpg"), "caf\xc3\xa9.jpg");
    // An overlong form of '/' and a lone surrogate are not valid UTF-8 either.
    EXPECT_EQ(ConsoleText("\xc0\xaf"), "\xc3\x80\xc2\xaf");
    EXPECT_EQ(ConsoleText("\xed\xa0\x80"), "\xc3\xad\xc2\xa0?");
    // A sequence cut off at the end of the text.
    EXPECT_EQ(ConsoleText("ab\xe2\x82"), "ab\xc3\xa2?");
}

TEST(ConsoleText, ReplacesControlCharactersThatCouldDriveTheTerminal) {
    EXPECT_EQ(ConsoleText("a\x1b[2Jb"), "a?[2Jb");
    EXPECT_EQ(ConsoleText("line\r\nnext\x7f"), "line??next?");
    EXPECT_EQ(ConsoleText("tab\there"), "tab?here");
    // C1 controls: as UTF-8 (U+009B) and as Latin-1 byte 0x9B.
    EXPECT_EQ(ConsoleText("x\xc2\x9by"), "x?y");
    EXPECT_EQ(ConsoleText("x\x9by"), "x?y");
    EXPECT_EQ(ConsoleText(std::string("nul\0byte", 8)), "nul?byte");
}

TEST(ConsoleText, FitColumnsCountsCharactersNotBytes) {
    EXPECT_EQ(FitColumns("abcdef", 4), "abcd");
    EXPECT_EQ(FitColumns("\xc3\xa9\xc3\xa9\xc3\xa9", 2), "\xc3\xa9\xc3\xa9");
    EXPECT_EQ(FitColumns("short", 80), "short");
    EXPECT_EQ(FitColumns("", 3), "");
}

TEST(ConsoleLogList, PrintsEachLineAtOnceWithControlCharactersShown) {
    std::ostringstream out;
    CConsoleLogList log(out);

    log.AddLine("Connecting to news.example.com");
    EXPECT_EQ(out.str(), "Connecting to news.example.com\n");
    log.AddLine("Killing message with subject of: \x1b]0;x");
    log.ResetContent();

    EXPECT_EQ(out.str(), "Connecting to news.example.com\n"
                         "Killing message with subject of: ?]0;x\n");
}

TEST(ConsoleArticleList, OneLinePerFileStartingWithFile) {
    std::ostringstream out;
    CConsoleArticleList articles(out);
    articles.AddArticle("pic.jpg", 1234, "Joe <joe@example.com>", "pic.jpg (1/1)");
    articles.AddArticle("odd\nname", 0xffffffffu, "a", "s\r");
    articles.DeleteAllItems();

    EXPECT_EQ(out.str(), "File: pic.jpg (1234 lines) Joe <joe@example.com> / pic.jpg (1/1)\n"
                         "File: odd?name (? lines) a / s?\n");
}

TEST(ConsoleProgress, StatusLineShowsGroupArticlePartAndLines) {
    std::ostringstream err;
    CConsoleProgress progress(err, true);
    progress.SetGroup("alt.binaries.test");
    EXPECT_EQ(err.str(), "\r\033[Kalt.binaries.test");

    progress.SetGroupProgress(1005, 1000, 1200);
    progress.SetArticle("<id>", "a", "s", "f.bin");
    progress.SetMultipart(2, 3);
    progress.SetArticleProgress(40, 900);
    EXPECT_EQ(progress.StatusText(),
              "alt.binaries.test  article 1005/1200  part 2/3  lines 40/900");

    // A new article resets part and lines; no Lines header shows the count alone.
    progress.SetArticle("<id2>", "a", "s", "g.bin");
    progress.SetArticleProgress(7, 0xffffffffu);
    EXPECT_EQ(progress.StatusText(), "alt.binaries.test  article 1005/1200  lines 7");

    // A new group starts from scratch.
    progress.SetGroup("alt.binaries.other");
    EXPECT_EQ(progress.StatusText(), "alt.binaries.other");
}

TEST(ConsoleProgress, LineIsCutToTheTerminalWidthAndErasedBeforeOtherOutput) {
    std::ostringstream err;
    CConsoleProgress progress(err, true, 12);
    progress.SetGroup("alt.binaries.pictures");
    EXPECT_EQ(progress.StatusText(), "alt.binarie");

    CConsoleLogList log(err, &progress);
    err.str("");
    log.AddLine("Extract Complete");
    // Erase the status line, print the log line, draw the status line again below it.
    EXPECT_EQ(err.str(), "\r\033[KExtract Complete\n\r\033[Kalt.binarie");
}

TEST(ConsoleGroupProgress, CounterIsRewrittenOnATerminalAndEndsWithALineBreak) {
    std::ostringstream err;
    bool cancel = false;
    {
        CConsoleGroupProgress progress(err, true, "news.test", [&cancel] { return cancel; });
        progress.SetCounterText("Downloading group number 0...");
        progress.SetCounterText("Downloading group number 100...");
        EXPECT_FALSE(progress.PumpMessages());
        cancel = true;
        EXPECT_TRUE(progress.PumpMessages());
    }
    // The next message on standard error starts on a line of its own.
    EXPECT_EQ(err.str(), "Downloading Groups from  news.test\n"
                         "\r\033[KDownloading group number 0..."
                         "\r\033[KDownloading group number 100...\n");
}

} // namespace

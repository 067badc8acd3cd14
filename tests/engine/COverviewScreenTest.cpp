#include "engine/COverviewScreen.h"

#include <gtest/gtest.h>

namespace {

COverviewScreen WithFormat(const std::vector<std::string>& format) {
    COverviewScreen screen;
    screen.BeginFormat();
    for (const std::string& line : format)
        screen.AddFormatLine(line);
    screen.EndFormat();
    return screen;
}

const std::vector<std::string> kStandard{
    "Subject:", "From:", "Date:", "Message-ID:", "References:", ":bytes", ":lines", "Xref:full"};

} // namespace

TEST(OverviewScreenTest, TheFormatNeedsSubjectAndFromFirstAndFindsTheFullHeaders) {
    EXPECT_TRUE(WithFormat(kStandard).IsUsable());
    EXPECT_FALSE(WithFormat(kStandard).HasContentType());
    // The old spelling of the format, in other letter case, with blanks around.
    COverviewScreen old =
        WithFormat({"subject:", " FROM: ", "Date:", "Message-ID:", "References:", "Bytes:",
                    "Lines:", "Xref:full", "content-type:FULL", "Lines:full"});
    EXPECT_TRUE(old.IsUsable());
    EXPECT_TRUE(old.HasContentType());
    EXPECT_TRUE(old.HasLines());
    EXPECT_FALSE(WithFormat({"From:", "Subject:"}).IsUsable());
    EXPECT_FALSE(WithFormat({"Subject:"}).IsUsable());
    EXPECT_FALSE(WithFormat({}).IsUsable());
    // Content-Type without "full" carries no header name: not understood.
    EXPECT_FALSE(WithFormat({"Subject:", "From:", "Content-Type:"}).HasContentType());
}

TEST(OverviewScreenTest, ABlockCoversItsRangeOnceComplete) {
    COverviewScreen screen = WithFormat(kStandard);
    EXPECT_EQ(COverviewScreen::BlockCommand(10), "XOVER 10-5009");
    EXPECT_EQ(COverviewScreen::BlockCommand(1), "XOVER 1-5000");
    EXPECT_EQ(COverviewScreen::BlockCommand(4294967290u), "XOVER 4294967290-4294967295");
    screen.BeginBlock(10);
    screen.AddLine("10\tsubject\tfrom");
    EXPECT_FALSE(screen.Covers(10)); // not before the reply is complete
    EXPECT_EQ(screen.Find(10), nullptr);
    screen.EndBlock();
    EXPECT_TRUE(screen.Covers(10));
    EXPECT_TRUE(screen.Covers(5009));
    EXPECT_FALSE(screen.Covers(9));
    EXPECT_FALSE(screen.Covers(5010));
    ASSERT_NE(screen.Find(10), nullptr);
    EXPECT_EQ(screen.Find(11), nullptr); // covered, not listed: its HEAD decides
    screen.ClearBlock();
    EXPECT_FALSE(screen.Covers(10));
    EXPECT_TRUE(screen.IsUsable());
    screen.Disable();
    EXPECT_FALSE(screen.IsUsable());
}

TEST(OverviewScreenTest, LinesThatCannotBeReadAreLeftToTheHeaders) {
    COverviewScreen screen = WithFormat(kStandard);
    screen.BeginBlock(100);
    screen.AddLine("100\tfirst\tme@example\tdate\t<a@b>\t\t10\t2\tXref: x");
    screen.AddLine("102 no tabs at all");
    screen.AddLine("103\tonly a subject");
    screen.AddLine("x104\tbad\tnumber");
    screen.AddLine("99\toutside\tthe block");
    screen.AddLine("5100\toutside\tthe block");
    screen.AddLine("4294967396\ttoo\tlarge");
    screen.AddLine("150\tsent\ttwice");
    screen.AddLine("150\tsent\tagain");
    screen.AddLine("120\tout of\torder");
    screen.EndBlock();
    ASSERT_NE(screen.Find(100), nullptr);
    EXPECT_EQ(screen.Find(100)->subject, "first");
    EXPECT_EQ(screen.Find(100)->from, "me@example");
    EXPECT_FALSE(screen.Find(100)->contentType);
    EXPECT_FALSE(screen.Find(100)->lines);
    for (const uint32_t number : {99u, 102u, 103u, 104u, 150u, 5100u})
        EXPECT_EQ(screen.Find(number), nullptr) << number;
    ASSERT_NE(screen.Find(120), nullptr);
    EXPECT_EQ(screen.Find(120)->from, "order");
}

TEST(OverviewScreenTest, FullHeadersGiveTheirValuesOrNothingWhenNotUnderstood) {
    std::vector<std::string> format = kStandard;
    format.insert(format.end(), {"Lines:full", "Content-Type:full"});
    COverviewScreen screen = WithFormat(format);
    screen.BeginBlock(1);
    const std::string standard = "\tdate\t<id>\t\t100\t7\tXref: x\t";
    screen.AddLine("1\ts\tf" + standard + "Lines: 42\tContent-Type: image/png; name=\"a.png\"");
    screen.AddLine("2\ts\tf" + standard + "\t"); // neither header
    screen.AddLine("3\ts\tf" + standard + "lines:  -5\tcontent-type:text/plain");
    screen.AddLine("4\ts\tf" + standard + "X-Lines: 3\tType: text/plain"); // not these headers
    screen.AddLine("5\ts\tf" + standard + "Lines: 9");                     // a field short
    screen.EndBlock();
    const OverviewRecord* one = screen.Find(1);
    ASSERT_NE(one, nullptr);
    EXPECT_EQ(one->lines, 42);
    EXPECT_EQ(one->contentType, "image/png; name=\"a.png\"");
    EXPECT_EQ(screen.Find(2)->lines, -1);
    EXPECT_EQ(screen.Find(2)->contentType, "");
    EXPECT_EQ(screen.Find(3)->lines, -5);
    EXPECT_EQ(screen.Find(3)->contentType, "text/plain");
    EXPECT_FALSE(screen.Find(4)->lines);
    EXPECT_FALSE(screen.Find(4)->contentType);
    EXPECT_EQ(screen.Find(5)->lines, 9);
    EXPECT_FALSE(screen.Find(5)->contentType);
}

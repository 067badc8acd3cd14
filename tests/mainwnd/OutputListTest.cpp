#include "mainwnd/COutputList.h"
#include "mainwnd/PaneRefresh.h"

#include <QApplication>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include "platform/StringIds.h"
#include "support/TestApplication.h"

namespace {

class OutputListTest : public testing::Test {
  protected:
    OutputListTest() {
        list.resize(400, 200);
        list.show();
    }

    // Lines reach the view in batches: wait for the one under way.
    bool WaitForRows(int rows) {
        return QTest::qWaitFor([&] { return list.Lines().rowCount() == rows; }, 2000);
    }

    bool LastRowInView() const {
        const QModelIndex last = list.Lines().index(list.Lines().rowCount() - 1);
        return list.viewport()->rect().contains(list.visualRect(last));
    }

    QApplication& app = TestApplication<QApplication>(); // before the widgets
    COutputList list;
};

TEST_F(OutputListTest, TheNewestLineStaysInViewHoweverManyArrive) {
    for (int i = 0; i < 20000; ++i)
        list.AddLine("Killing message with subject of: line " + std::to_string(i));
    ASSERT_TRUE(WaitForRows(20000));
    QApplication::processEvents();
    EXPECT_TRUE(LastRowInView());
    EXPECT_GT(list.verticalScrollBar()->value(), 0);

    // One more line, later, is followed too.
    list.AddLine("Extract Complete");
    ASSERT_TRUE(WaitForRows(20001));
    QApplication::processEvents();
    EXPECT_TRUE(LastRowInView());
    EXPECT_EQ(list.Lines().Line(20000), "Extract Complete");
}

TEST_F(OutputListTest, LinesArrivingTogetherReachTheViewInOneInsertion) {
    QSignalSpy inserted(&list.Lines(), &QAbstractItemModel::rowsInserted);
    for (int i = 0; i < 1000; ++i)
        list.AddLine("line");
    EXPECT_EQ(list.Lines().rowCount(), 0);
    ASSERT_TRUE(WaitForRows(1000));
    EXPECT_EQ(inserted.count(), 1);
}

TEST_F(OutputListTest, ResetContentAlsoDropsLinesNotYetShown) {
    list.AddLine("old run");
    ASSERT_TRUE(WaitForRows(1));
    list.AddLine("still waiting");
    list.ResetContent();
    EXPECT_EQ(list.Lines().rowCount(), 0);
    QTest::qWait(static_cast<int>(kPaneRefreshInterval.count()) + 60);
    EXPECT_EQ(list.Lines().rowCount(), 0);

    list.AddLine("new run");
    ASSERT_TRUE(WaitForRows(1));
    EXPECT_EQ(list.Lines().Line(0), "new run");
}

TEST_F(OutputListTest, MessagesComeFromTheStringTable) {
    list.AddMessage(ids::kExtractComplete);
    list.AddMessage(ids::kAddingKillRule, "Spammer <spam@example.com>");
    ASSERT_TRUE(WaitForRows(2));
    EXPECT_EQ(list.Lines().Line(0), "Extract Complete");
    EXPECT_EQ(list.Lines().Line(1), "Adding kill rule with author of: Spammer <spam@example.com>");
}

TEST_F(OutputListTest, AnotherFontChangesTheRowHeight) {
    list.AddLine("a line");
    ASSERT_TRUE(WaitForRows(1));
    QFont font = list.font();
    font.setPointSize(8);
    list.setFont(font);
    QApplication::processEvents();
    const int small = list.visualRect(list.Lines().index(0)).height();
    font.setPointSize(24);
    list.setFont(font);
    QApplication::processEvents();
    EXPECT_GT(list.visualRect(list.Lines().index(0)).height(), small);
    EXPECT_GE(list.visualRect(list.Lines().index(0)).height(), QFontMetrics(font).height());
}

} // namespace

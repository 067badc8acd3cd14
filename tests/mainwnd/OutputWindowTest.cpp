#include "mainwnd/COutputWindow.h"
#include "mainwnd/PaneRefresh.h"

#include <QApplication>
#include <QHeaderView>
#include <QMenu>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "support/ProfileHome.h"
#include "support/TestApplication.h"

namespace {

using Column = CArticleListModel::Column;

class OutputWindowTest : public testing::Test {
  protected:
    void Show() {
        view.resize(600, 200);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    }

    // New rows are painted and scrolled to a moment later: this waits for that.
    void AddRows(int count) {
        for (int i = 0; i < count; ++i) {
            const std::string n = std::to_string(view.Articles().rowCount());
            view.AddArticle("file" + n + ".jpg", 100, "author" + n, "subject " + n);
        }
        QTest::qWait(static_cast<int>(kPaneRefreshInterval.count()) + 60);
    }

    bool RowFullyInView(int row) const {
        const QRect rect = view.visualRect(view.Articles().index(row, 0));
        return view.viewport()->rect().contains(rect);
    }

    void Select(int row) {
        view.selectionModel()->select(view.Articles().index(row, 0),
                                      QItemSelectionModel::ClearAndSelect |
                                          QItemSelectionModel::Rows);
    }

    int Width(Column column) const { return view.horizontalHeader()->sectionSize(column); }

    QApplication& app = TestApplication<QApplication>(); // before the widgets
    COutputWindow view;
};

TEST_F(OutputWindowTest, OnAFirstStartTheColumnsShareTheScreenWidth) {
    const int lines = view.fontMetrics().horizontalAdvance(QStringLiteral(" 88888 "));
    const int rest = QGuiApplication::primaryScreen()->geometry().width() - lines -
                     view.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &view);
    EXPECT_EQ(Width(CArticleListModel::kLines), lines);
    EXPECT_EQ(Width(CArticleListModel::kFileName), rest / 4);
    EXPECT_EQ(Width(CArticleListModel::kAuthor), rest / 4);
    EXPECT_EQ(Width(CArticleListModel::kSubject), rest - 2 * (rest / 4));
}

TEST_F(OutputWindowTest, ColumnWidthsSurviveARestart) {
    ProfileHome home;
    view.horizontalHeader()->resizeSection(CArticleListModel::kFileName, 210);
    view.horizontalHeader()->resizeSection(CArticleListModel::kLines, 44);
    view.horizontalHeader()->resizeSection(CArticleListModel::kAuthor, 180);
    view.horizontalHeader()->resizeSection(CArticleListModel::kSubject, 400);
    view.SaveSettings(false, home.profile);
    EXPECT_EQ(home.profile.GetProfileInt("Settings", "nLineWidth", 0), 44u);

    COutputWindow restarted;
    restarted.SaveSettings(true, home.profile);
    EXPECT_EQ(restarted.horizontalHeader()->sectionSize(CArticleListModel::kFileName), 210);
    EXPECT_EQ(restarted.horizontalHeader()->sectionSize(CArticleListModel::kLines), 44);
    EXPECT_EQ(restarted.horizontalHeader()->sectionSize(CArticleListModel::kAuthor), 180);
    EXPECT_EQ(restarted.horizontalHeader()->sectionSize(CArticleListModel::kSubject), 400);
}

TEST_F(OutputWindowTest, LoadingKeepsAbsentWidthsAndUsesTheLow16Bits) {
    ProfileHome home;
    const int lines = Width(CArticleListModel::kLines);
    home.profile.WriteProfileInt("Settings", "nSubjectWidth", 0x50000 + 300);
    view.SaveSettings(true, home.profile);
    EXPECT_EQ(Width(CArticleListModel::kSubject), 300);
    EXPECT_EQ(Width(CArticleListModel::kLines), lines);
}

TEST_F(OutputWindowTest, WithoutASelectionEachNewRowScrollsIntoView) {
    Show();
    AddRows(200);
    EXPECT_TRUE(RowFullyInView(199));
    EXPECT_GT(view.verticalScrollBar()->value(), 0);
}

TEST_F(OutputWindowTest, ASelectedRowHoldsTheView) {
    Show();
    AddRows(3);
    Select(1);
    AddRows(200);
    EXPECT_EQ(view.verticalScrollBar()->value(), 0);
    EXPECT_TRUE(RowFullyInView(1));
    EXPECT_FALSE(RowFullyInView(202));

    view.clearSelection();
    AddRows(1);
    EXPECT_TRUE(RowFullyInView(203));
}

TEST_F(OutputWindowTest, TheSelectedRowGivesItsRawBytes) {
    QSignalSpy changed(&view, &COutputWindow::SelectionChanged);
    view.AddArticle("cat.jpg", 12, "Jos\xe9 <jose@example.com>", "cat pictures");
    view.AddArticle("dog.jpg", 34, "someone", "dog pictures");
    EXPECT_FALSE(view.HasSelection());
    EXPECT_EQ(view.SelectedText(CArticleListModel::kAuthor), "");

    Select(0);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_TRUE(view.HasSelection());
    EXPECT_EQ(view.SelectedText(CArticleListModel::kFileName), "cat.jpg");
    EXPECT_EQ(view.SelectedText(CArticleListModel::kLines), "12");
    EXPECT_EQ(view.SelectedText(CArticleListModel::kAuthor), "Jos\xe9 <jose@example.com>");
    EXPECT_EQ(view.SelectedText(CArticleListModel::kSubject), "cat pictures");

    view.DeleteAllItems();
    EXPECT_FALSE(view.HasSelection());
    EXPECT_EQ(changed.count(), 2);

    // Emptied while new rows waited to be painted: the view paints again.
    view.AddArticle("late.jpg", 1, "a", "b");
    view.DeleteAllItems();
    EXPECT_TRUE(view.updatesEnabled());
}

// Right-clicks the view's window at a point of the viewport and reports whether the menu
// came up; it is closed again at once.
bool MenuShownOnRightClick(COutputWindow& view, QMenu& menu, QPoint inViewport) {
    bool shown = false;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (QApplication::activePopupWidget() != &menu)
            return;
        shown = true;
        menu.close();
    });
    closer.start(10);
    QWindow* window = view.window()->windowHandle();
    const QPoint inWindow = view.viewport()->mapTo(view.window(), inViewport);
    QTest::mouseClick(window, Qt::RightButton, {}, inWindow);
    QTest::qWait(50);
    return shown;
}

TEST_F(OutputWindowTest, ARightClickShowsTheMenuAlsoOnAnEmptyPart) {
    QMenu menu;
    menu.addAction(QStringLiteral("Kill Author"));
    view.SetContextMenu(&menu);
    Show();
    AddRows(2);
    const QPoint belowTheRows(10, view.viewport()->height() - 5);
    EXPECT_TRUE(MenuShownOnRightClick(view, menu, belowTheRows));
    EXPECT_FALSE(view.HasSelection());

    // On a row the row is selected first, so the menu acts on it.
    const QPoint onRow1 = view.visualRect(view.Articles().index(1, 0)).center();
    EXPECT_TRUE(MenuShownOnRightClick(view, menu, onRow1));
    EXPECT_EQ(view.SelectedText(CArticleListModel::kFileName), "file1.jpg");
}

} // namespace

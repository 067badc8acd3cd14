#include "mainwnd/CStatusWnd.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTextDocumentFragment>

#include <gtest/gtest.h>

#include <vector>

#include "mainwnd/CElidedLabel.h"
#include "mainwnd/CProgressPanel.h"
#include "mainwnd/CWideProgressBar.h"
#include "mainwnd/PaneRefresh.h"
#include "support/TestApplication.h"

namespace {

class StatusWndTest : public testing::Test {
  protected:
    QString Text(CProgressPanel::Control id) const { return status.Panel().Field(id).Text(); }
    // The bars as drawn: the values kept are shown at once rather than at the next redraw.
    CWideProgressBar& ArticleBar() const { return Shown(status.Panel().ArticleBar()); }
    CWideProgressBar& GroupBar() const { return Shown(status.Panel().GroupBar()); }
    static CWideProgressBar& Shown(CWideProgressBar& bar) {
        bar.ShowNow();
        return bar;
    }

    QApplication& app = TestApplication<QApplication>(); // before the widgets
    CStatusWnd status;
};

TEST_F(StatusWndTest, ControlsAreFoundByTheirNumbers) {
    EXPECT_EQ(status.findChild<QProgressBar*>(QStringLiteral("1037")), &ArticleBar());
    EXPECT_EQ(status.findChild<QProgressBar*>(QStringLiteral("1039")), &GroupBar());
    for (int id = 1032; id <= 1038; ++id) {
        if (id == CProgressPanel::kArticleBar)
            continue;
        EXPECT_NE(status.findChild<CElidedLabel*>(QString::number(id)), nullptr) << id;
    }
}

TEST_F(StatusWndTest, AnArticleOf12LinesMovesTheBarAt5_10_11And12) {
    status.SetArticle("<1@example.com>", "me", "pic", "pic.jpg");
    std::vector<uint32_t> moves;
    for (uint32_t line = 1; line <= 12; ++line) {
        const uint32_t before = ArticleBar().Value();
        status.SetArticleProgress(line, 12);
        if (ArticleBar().Value() != before)
            moves.push_back(line);
    }
    EXPECT_EQ(moves, (std::vector<uint32_t>{5, 10, 11, 12}));
    EXPECT_EQ(ArticleBar().Maximum(), 12u);
    EXPECT_EQ(ArticleBar().text(), QStringLiteral("100%"));

    // The next article starts from an empty bar.
    status.SetArticle("<2@example.com>", "me", "pic", "pic2.jpg");
    EXPECT_EQ(ArticleBar().Value(), 0u);
    EXPECT_EQ(ArticleBar().Maximum(), 0u);
}

TEST_F(StatusWndTest, WithoutALinesHeaderTheBarCountsLines) {
    status.SetArticle("<1@example.com>", "me", "pic", "pic.jpg");
    status.SetArticleProgress(5, 0xffffffffu);
    EXPECT_EQ(ArticleBar().text(), QStringLiteral("5"));
    status.SetArticleProgress(6, 0xffffffffu);
    EXPECT_EQ(ArticleBar().text(), QStringLiteral("5"));
    status.SetArticleProgress(2000, 0xffffffffu);
    EXPECT_EQ(ArticleBar().text(), QStringLiteral("2000"));
    EXPECT_EQ(ArticleBar().value(), ArticleBar().minimum()); // no bogus share of a whole

    // A known count shows a share again.
    status.SetArticleProgress(5, 10);
    EXPECT_EQ(ArticleBar().text(), QStringLiteral("50%"));
}

TEST_F(StatusWndTest, MultipartReadsNoOrThePartOfTheSet) {
    status.SetArticle("<1@example.com>", "Jos\xe9", "holiday (3/7)", "holiday.zip");
    EXPECT_EQ(Text(CProgressPanel::kMultipart), QStringLiteral("No"));
    EXPECT_EQ(Text(CProgressPanel::kMessageId), QStringLiteral("<1@example.com>"));
    EXPECT_EQ(Text(CProgressPanel::kAuthor), QString::fromUtf8(u8"José"));
    EXPECT_EQ(Text(CProgressPanel::kSubject), QStringLiteral("holiday (3/7)"));
    EXPECT_EQ(Text(CProgressPanel::kFileName), QStringLiteral("holiday.zip"));
    status.SetMultipart(3, 7);
    EXPECT_EQ(Text(CProgressPanel::kMultipart), QStringLiteral("3/7"));
}

TEST_F(StatusWndTest, TheGroupBarRunsFromTheFirstArticleLookedAt) {
    status.SetGroup("alt.binaries.pictures");
    EXPECT_EQ(Text(CProgressPanel::kGroupName), QStringLiteral("alt.binaries.pictures"));
    EXPECT_EQ(GroupBar().text(), QString());
    EXPECT_LT(GroupBar().minimum(), GroupBar().maximum()); // quiet, not the busy indicator

    status.SetGroupProgress(150, 100, 300);
    EXPECT_EQ(GroupBar().Maximum(), 200u);
    EXPECT_EQ(GroupBar().Value(), 50u);
    EXPECT_EQ(GroupBar().text(), QStringLiteral("25%"));

    // A pending article below the start, and an empty range.
    status.SetGroupProgress(90, 100, 300);
    EXPECT_EQ(GroupBar().Value(), 0u);
    status.SetGroupProgress(100, 100, 50);
    EXPECT_EQ(GroupBar().Maximum(), 0u);

    status.SetGroup("alt.binaries.next");
    EXPECT_EQ(GroupBar().Value(), 0u);
}

TEST_F(StatusWndTest, BarsShowThirtyTwoBitValuesRight) {
    status.SetGroupProgress(0xfffffff0u, 0, 0xfffffffeu);
    EXPECT_EQ(GroupBar().text(), QStringLiteral("99%"));
    EXPECT_LE(GroupBar().maximum(), INT_MAX);
    status.SetGroupProgress(0x80000000u, 0, 0xfffffffeu);
    EXPECT_EQ(GroupBar().text(), QStringLiteral("50%"));
    status.SetGroupProgress(0xfffffffeu, 0, 0xfffffffeu);
    EXPECT_EQ(GroupBar().text(), QStringLiteral("100%"));
    EXPECT_EQ(GroupBar().value(), GroupBar().maximum());

    // A body longer than its Lines header shows a full bar.
    status.SetArticleProgress(20, 10);
    EXPECT_EQ(ArticleBar().text(), QStringLiteral("100%"));
}

TEST_F(StatusWndTest, LongTextsDoNotWidenThePanel) {
    const QSize before = status.sizeHint();
    const std::string subject(500, 'x');
    status.SetArticle("<1@example.com>", "me", subject, subject + ".jpg");
    EXPECT_EQ(status.sizeHint(), before);
    // The tooltip holds the whole text, and markup in it shows as typed.
    const auto shown = [this] {
        return QTextDocumentFragment::fromHtml(
                   status.Panel().Field(CProgressPanel::kSubject).toolTip())
            .toPlainText();
    };
    EXPECT_EQ(shown(), QString::fromStdString(subject));
    status.SetArticle("<2@example.com>", "me", "<b>bold</b> & co", "x.jpg");
    EXPECT_EQ(shown(), QStringLiteral("<b>bold</b> & co"));
}

// Records the text a field held each time it was painted.
class PaintRecorder : public QObject {
  public:
    explicit PaintRecorder(CElidedLabel& field) : m_field(field) { field.installEventFilter(this); }
    QStringList painted;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &m_field && event->type() == QEvent::Paint)
            painted << m_field.Text();
        return false;
    }

  private:
    CElidedLabel& m_field;
};

TEST_F(StatusWndTest, FieldsThatChangeWithEveryArticleArePaintedOncePerRefresh) {
    status.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&status));
    QTest::qWait(static_cast<int>(kPaneRefreshInterval.count()) + 60);
    PaintRecorder subject(status.Panel().Field(CProgressPanel::kSubject));

    // A run goes through articles as fast as the event loop turns: each its own subject.
    QElapsedTimer clock;
    clock.start();
    int articles = 0;
    while (clock.elapsed() < kPaneRefreshInterval.count() / 2) {
        ++articles;
        status.SetArticle("<" + std::to_string(articles) + "@example.com>", "me",
                          "part " + std::to_string(articles), "pic.jpg");
        QCoreApplication::processEvents();
    }
    ASSERT_GT(articles, 20);
    QTest::qWait(static_cast<int>(kPaneRefreshInterval.count()) + 60);

    // At most one paint per refresh, and the last one shows the latest text.
    EXPECT_GE(subject.painted.size(), 1);
    EXPECT_LE(subject.painted.size(), 2);
    ASSERT_FALSE(subject.painted.isEmpty());
    EXPECT_EQ(subject.painted.last(), QStringLiteral("part %1").arg(articles));
}

} // namespace

#include "app/gui/CHelpTopicsWindow.h"

#include <QAbstractItemModelTester>
#include <QLineEdit>
#include <QTextBrowser>
#include <QTreeView>

#include <gtest/gtest.h>

#include "GuiTestSupport.h"
#include "app/gui/CHelpTopicsModel.h"
#include "support/TempHome.h"

namespace {

constexpr const char* kSampleFile = "== Commands ==\n"
                                    "[32781] Extract\nStarts an extraction.\n"
                                    "[57665] Exit\nCloses Gleanwick.\n"
                                    "== Empty chapter ==\n"
                                    "== Dialog buttons ==\n"
                                    "[0x80640001] OK\nKeeps the changes of every page.\n";

class HelpTopicsModelTest : public testing::Test {
  protected:
    void SetUp() override {
        TestApplication<QApplication>();
        file.Parse(kSampleFile);
    }
    CHelpFile file;
};

TEST_F(HelpTopicsModelTest, ChaptersHoldTheirTopicsWithTitleAndNumber) {
    CHelpTopicsModel model(file);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    ASSERT_EQ(model.rowCount(), 2); // the empty chapter is left out
    const QModelIndex commands = model.index(0, 0);
    const QModelIndex buttons = model.index(1, 0);
    EXPECT_EQ(commands.data().toString(), "Commands");
    EXPECT_EQ(buttons.data().toString(), "Dialog buttons");
    ASSERT_EQ(model.rowCount(commands), 2);
    EXPECT_EQ(model.index(1, 0, commands).data().toString(), "Exit");
    EXPECT_EQ(model.index(1, 1, commands).data().toString(), "57665");
    EXPECT_EQ(model.index(0, 1, buttons).data().toString(), "0x80640001");
    EXPECT_EQ(model.index(0, 0, buttons).data(CHelpTopicsModel::TopicIdRole).toUInt(), 0x80640001u);
    EXPECT_FALSE(commands.data(CHelpTopicsModel::TopicIdRole).isValid());
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), "Topic");
    EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), "Number");
    EXPECT_EQ(model.TopicIndex(57665), model.index(1, 0, commands));
    EXPECT_FALSE(model.TopicIndex(1).isValid());
    EXPECT_EQ(model.Topic(model.TopicIndex(57665))->title, "Exit");
    EXPECT_EQ(model.Topic(commands), nullptr);
}

class HelpTopicsWindowTest : public testing::Test {
  protected:
    void SetUp() override {
        TestApplication<QApplication>();
        WriteFile(m_folder / "Gleanwick.hlp", kSampleFile);
        CContextHelp::UseHelpFile(m_folder / "Gleanwick.hlp");
    }
    void TearDown() override { CContextHelp::UseHelpFile(RepositoryHelpFile()); }

    static QString SelectedTitle(const CHelpTopicsWindow& window) {
        return window.TopicView()->currentIndex().data().toString();
    }
    TempFolder m_folder;
};

TEST_F(HelpTopicsWindowTest, OpensOnTheFirstTopicAndShowsTheSelectedOne) {
    CHelpTopicsWindow window;
    EXPECT_EQ(window.windowTitle(), "Help Topics");
    EXPECT_EQ(SelectedTitle(window), "Extract");
    EXPECT_TRUE(window.TextView()->toPlainText().contains("Starts an extraction."));
    ASSERT_TRUE(window.SelectTopic(0x80640001));
    EXPECT_EQ(SelectedTitle(window), "OK");
    EXPECT_TRUE(window.TextView()->toPlainText().contains("Keeps the changes of every page."));
    EXPECT_FALSE(window.SelectTopic(4242));
}

TEST_F(HelpTopicsWindowTest, TheSearchKeepsMatchingTopicsByTitleNumberOrText) {
    CHelpTopicsWindow window;
    QAbstractItemModel* shown = window.TopicView()->model();
    window.SetFilter("closes");
    ASSERT_EQ(shown->rowCount(), 1);
    ASSERT_EQ(shown->rowCount(shown->index(0, 0)), 1);
    EXPECT_EQ(SelectedTitle(window), "Exit");
    EXPECT_TRUE(window.TextView()->toPlainText().contains("Closes Gleanwick."));

    window.SetFilter("0x8064");
    EXPECT_EQ(SelectedTitle(window), "OK");
    window.SetFilter("nothing like this");
    EXPECT_EQ(shown->rowCount(), 0);
    window.SetFilter("");
    EXPECT_EQ(shown->rowCount(), 2);

    // A topic hidden by the search is still found: the search is cleared for it.
    window.SetFilter("closes");
    ASSERT_TRUE(window.SelectTopic(32781));
    EXPECT_EQ(SelectedTitle(window), "Extract");
    EXPECT_TRUE(window.findChild<QLineEdit*>()->text().isEmpty());
}

TEST_F(HelpTopicsWindowTest, AChapterListsItsTopics) {
    CHelpTopicsWindow window;
    window.TopicView()->setCurrentIndex(window.TopicView()->model()->index(0, 0));
    const QString text = window.TextView()->toPlainText();
    EXPECT_TRUE(text.contains("Commands"));
    EXPECT_TRUE(text.contains("Extract"));
    EXPECT_TRUE(text.contains("Exit"));
    EXPECT_TRUE(window.TextView()->toHtml().contains("topic:57665"));
}

TEST_F(HelpTopicsWindowTest, AMissingFileIsSaidWithThePlacesLookedIn) {
    CContextHelp::UseHelpFile(m_folder / "absent.hlp");
    CHelpTopicsWindow window;
    EXPECT_EQ(window.TopicView()->model()->rowCount(), 0);
    const QString text = window.TextView()->toPlainText();
    EXPECT_TRUE(text.contains("The help file Gleanwick.hlp was not found.")) << text.toStdString();
    EXPECT_TRUE(text.contains(QString::fromStdString(CContextHelp::SearchPaths().front())));
}

TEST_F(HelpTopicsWindowTest, OneWindowRaisedWhenOpenAlready) {
    CHelpTopicsWindow* first = CHelpTopicsWindow::ShowHelpTopics(nullptr);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(CHelpTopicsWindow::ShowHelpTopics(nullptr), first);
    first->close(); // deletes itself
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    CHelpTopicsWindow* second = CHelpTopicsWindow::ShowHelpTopics(nullptr);
    EXPECT_TRUE(second->isVisible());
    second->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

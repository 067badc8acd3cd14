#include "servers/gui/CGroupDownloadDlg.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <vector>

#include <gtest/gtest.h>

#include "GuiTestSupport.h"
#include "app/gui/HelpIds.h"
#include "servers/gui/CDownloadAnimation.h"

namespace {

class GroupDownloadDlgTest : public testing::Test {
  protected:
    void SetUp() override { UseRepositoryHelp(); }

    static QPushButton* CancelButton(QWidget* dialog) {
        return qobject_cast<QPushButton*>(FindControl(dialog, 2));
    }
};

TEST_F(GroupDownloadDlgTest, ShownAtOnceWithCaptionTextAndEmptyCounter) {
    CGroupDownloadDlg dialog("news.example.com");
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(dialog.isModal());
    EXPECT_EQ(dialog.TemplateId(), 41u);
    EXPECT_EQ(dialog.windowTitle(), "Downloading Groups from  news.example.com");
    auto* counter = qobject_cast<QLabel*>(FindControl(&dialog, CGroupDownloadDlg::kCounter));
    ASSERT_NE(counter, nullptr);
    EXPECT_TRUE(counter->text().isEmpty());
    EXPECT_TRUE(counter->alignment().testFlag(Qt::AlignHCenter));
    bool found = false;
    for (QLabel* label : dialog.findChildren<QLabel*>()) {
        found = found || (label->text() == "Downloading the list of news groups available on the "
                                           "server.  This may take a few minutes if you have a "
                                           "slow connection to your server." &&
                          label->wordWrap());
    }
    EXPECT_TRUE(found);
    dialog.SetCounterText("Downloading group number 100...");
    EXPECT_EQ(counter->text(), "Downloading group number 100...");
}

TEST_F(GroupDownloadDlgTest, PumpMessagesHandlesWaitingEventsAndReportsNoCancel) {
    CGroupDownloadDlg dialog("news.example.com");
    bool ran = false;
    QTimer::singleShot(0, [&ran] { ran = true; });
    EXPECT_FALSE(dialog.PumpMessages());
    EXPECT_TRUE(ran);
}

// Cancel, Escape and the close box only note the cancel; the dialog stays until the download
// destroys it.
TEST_F(GroupDownloadDlgTest, CancelEscapeAndTheCloseBoxOnlySetTheFlag) {
    const std::vector<std::function<void(CGroupDownloadDlg&)>> cancels = {
        [](CGroupDownloadDlg& dialog) { QTest::mouseClick(CancelButton(&dialog), Qt::LeftButton); },
        [](CGroupDownloadDlg& dialog) { QTest::keyClick(&dialog, Qt::Key_Escape); },
        [](CGroupDownloadDlg& dialog) { EXPECT_FALSE(dialog.close()); },
    };
    for (const auto& cancel : cancels) {
        CGroupDownloadDlg dialog("news.example.com");
        cancel(dialog);
        EXPECT_TRUE(dialog.IsCancelled());
        EXPECT_TRUE(dialog.PumpMessages());
        EXPECT_TRUE(dialog.isVisible());
    }
}

// The download disables the main window; the dialog above it keeps working.
TEST_F(GroupDownloadDlgTest, StaysUsableAboveADisabledMainWindow) {
    QWidget mainWindow;
    mainWindow.resize(800, 600);
    mainWindow.show();
    mainWindow.setEnabled(false);
    {
        CGroupDownloadDlg dialog("news.example.com", &mainWindow);
        EXPECT_TRUE(dialog.isEnabled());
        EXPECT_TRUE(CancelButton(&dialog)->isEnabled());
        EXPECT_EQ(dialog.windowHandle()->transientParent(), mainWindow.windowHandle());
        EXPECT_TRUE(mainWindow.geometry().contains(dialog.geometry().center()));
        QTest::mouseClick(CancelButton(&dialog), Qt::LeftButton);
        EXPECT_TRUE(dialog.PumpMessages());
    }
    // Destroying the dialog leaves the main window alone.
    EXPECT_TRUE(mainWindow.isVisible());
}

TEST_F(GroupDownloadDlgTest, TheAnimationRunsWhileEventsArePumped) {
    CGroupDownloadDlg dialog("news.example.com");
    auto* animation =
        qobject_cast<CDownloadAnimation*>(FindControl(&dialog, CGroupDownloadDlg::kAnimation));
    ASSERT_NE(animation, nullptr);
    EXPECT_TRUE(animation->IsRunning());
    const int before = animation->Frame();
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 300)
        dialog.PumpMessages();
    EXPECT_GT(animation->Frame(), before + 2);
    dialog.hide();
    EXPECT_FALSE(animation->IsRunning());
}

} // namespace

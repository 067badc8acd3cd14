#include "mainwnd/CSplit2.h"

#include <QApplication>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include "mainwnd/COutputList.h"
#include "mainwnd/CStatusWnd.h"
#include "support/ProfileHome.h"
#include "support/TestApplication.h"

namespace {

class Split2Test : public testing::Test {
  protected:
    Split2Test() { TestApplication<QApplication>(); }

    void ShowAt(CSplit2& split, int width) {
        split.resize(width, 250);
        split.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&split));
    }

    ProfileHome home;
};

TEST_F(Split2Test, TheProgressPaneSitsAtTheRightAndKeepsItsWidth) {
    CSplit2 split;
    const int screen = QGuiApplication::primaryScreen()->geometry().width();
    ShowAt(split, screen);
    const int panel = split.StatusWindow()->sizeHint().width();
    EXPECT_EQ(split.StatusWindow()->width(), panel);
    EXPECT_EQ(split.StatusWindow()->geometry().right(), split.width() - 1);

    split.resize(screen - 300, 250);
    QApplication::processEvents();
    EXPECT_EQ(split.StatusWindow()->width(), panel);
    EXPECT_EQ(split.LogList()->width() + split.handleWidth() + panel, screen - 300);
}

TEST_F(Split2Test, TheDividerSurvivesARestart) {
    {
        CSplit2 split;
        ShowAt(split, 1000);
        split.setSizes({420, 1000 - 420 - split.handleWidth()});
        split.SaveSettings(false, home.profile);
    }
    EXPECT_EQ(home.profile.GetProfileInt("Settings", "nSplitLeft", 0), 420u);

    // Loaded while hidden, as at start-up, and applied when shown.
    CSplit2 split;
    split.SaveSettings(true, home.profile);
    EXPECT_EQ(split.LeftWidth(), 420);
    ShowAt(split, 1000);
    EXPECT_EQ(split.LogList()->width(), 420);

    // Loaded while shown.
    home.profile.WriteProfileInt("Settings", "nSplitLeft", 300);
    split.SaveSettings(true, home.profile);
    EXPECT_EQ(split.LogList()->width(), 300);
}

TEST_F(Split2Test, AStoredZeroChangesNothing) {
    CSplit2 split;
    ShowAt(split, 1000);
    const QList<int> created = split.sizes();
    home.profile.WriteProfileInt("Settings", "nSplitLeft", 0);
    split.SaveSettings(true, home.profile);
    QApplication::processEvents();
    EXPECT_EQ(split.sizes(), created);
}

} // namespace

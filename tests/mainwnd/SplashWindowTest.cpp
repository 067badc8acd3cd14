#include "mainwnd/CSplashWindow.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include "support/TestApplication.h"

namespace {

using namespace std::chrono_literals;

class SplashWindowTest : public testing::Test {
  protected:
    SplashWindowTest() { TestApplication<QApplication>(); }
    ~SplashWindowTest() override {
        CSplashWindow::HideSplashScreen();
        CSplashWindow::EnableSplashScreen(false);
    }

    static void Show(std::chrono::milliseconds time = CSplashWindow::kDisplayTime) {
        CSplashWindow::EnableSplashScreen(true);
        CSplashWindow::ShowSplashScreen(nullptr, time);
    }

    // The offscreen platform activates every window it shows; a window manager would leave
    // the splash without focus.
    static void ShowBehind(QWidget& active) {
        Show();
        QApplication::setActiveWindow(&active);
        active.setFocus();
    }

    static QWidget* SplashWidget() {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (qobject_cast<CSplashWindow*>(widget) && widget->isVisible())
                return widget;
        }
        return nullptr;
    }
};

TEST_F(SplashWindowTest, ThePictureIsShownCentredOnTheScreen) {
    Show();
    ASSERT_TRUE(CSplashWindow::IsShown());
    const QWidget* splash = SplashWidget();
    ASSERT_NE(splash, nullptr);
    EXPECT_EQ(splash->size(), QSize(480, 300));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_LE((splash->geometry().center() - screen.center()).manhattanLength(), 2);
}

TEST_F(SplashWindowTest, OnlyWhenEnabledAndOnlyOnce) {
    CSplashWindow::EnableSplashScreen(false);
    CSplashWindow::ShowSplashScreen(nullptr);
    EXPECT_FALSE(CSplashWindow::IsShown());

    Show();
    ASSERT_TRUE(CSplashWindow::IsShown());
    CSplashWindow::HideSplashScreen();
    EXPECT_FALSE(CSplashWindow::IsShown());
    CSplashWindow::ShowSplashScreen(nullptr);
    EXPECT_FALSE(CSplashWindow::IsShown());
}

TEST_F(SplashWindowTest, TheFirstClickOnlyRemovesTheSplash) {
    QPushButton button(QStringLiteral("Extract"));
    button.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&button));
    QSignalSpy clicked(&button, &QPushButton::clicked);
    Show();

    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 0);
    EXPECT_FALSE(CSplashWindow::IsShown());

    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 1);
}

TEST_F(SplashWindowTest, TheFirstKeyPressOnlyRemovesTheSplash) {
    QLineEdit edit;
    int shortcuts = 0;
    // A shortcut without modifiers: a modifier's own press would already remove the splash.
    QShortcut shortcut(QKeySequence(Qt::Key_F1), &edit);
    QObject::connect(&shortcut, &QShortcut::activated, [&] { ++shortcuts; });
    edit.show();
    QApplication::setActiveWindow(&edit);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&edit));
    edit.setFocus();

    ShowBehind(edit);
    QTest::keyClick(&edit, Qt::Key_F1);
    EXPECT_EQ(shortcuts, 0);
    EXPECT_FALSE(CSplashWindow::IsShown());
    QTest::keyClick(&edit, Qt::Key_F1);
    EXPECT_EQ(shortcuts, 1);

    ShowBehind(edit);
    QTest::keyClick(&edit, Qt::Key_A);
    EXPECT_FALSE(CSplashWindow::IsShown());
    QTest::keyClick(&edit, Qt::Key_B);
    EXPECT_EQ(edit.text(), QStringLiteral("b"));
}

TEST_F(SplashWindowTest, TheTimerRemovesTheSplash) {
    Show(50ms);
    ASSERT_TRUE(CSplashWindow::IsShown());
    EXPECT_TRUE(QTest::qWaitFor([] { return !CSplashWindow::IsShown(); }, 2000));
    QApplication::processEvents();
    EXPECT_EQ(SplashWidget(), nullptr);
}

TEST_F(SplashWindowTest, DeletingTheOwnerTakesTheSplashAlong) {
    auto* owner = new QWidget;
    CSplashWindow::EnableSplashScreen(true);
    CSplashWindow::ShowSplashScreen(owner);
    ASSERT_TRUE(CSplashWindow::IsShown());
    delete owner;
    EXPECT_FALSE(CSplashWindow::IsShown());
}

} // namespace

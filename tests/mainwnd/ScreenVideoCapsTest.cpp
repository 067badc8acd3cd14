#include "mainwnd/ScreenVideoCaps.h"

#include <QGuiApplication>

#include <cstdlib>

#include <gtest/gtest.h>

namespace {

// The offscreen platform's one screen stands in for a display.
QGuiApplication& TestGuiApplication() {
    static int argc = 1;
    static char name[] = "test_mainwnd";
    static char* argv[] = {name, nullptr};
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static QGuiApplication* app = new QGuiApplication(argc, argv);
    return *app;
}

TEST(ScreenVideoCapsTest, TheScreenOfAGuiApplicationIsDescribed) {
    TestGuiApplication();
    const VideoCaps caps = ScreenVideoCaps();
    EXPECT_GT(caps.widthPixels, 0u);
    EXPECT_GT(caps.heightPixels, 0u);
    EXPECT_GE(caps.desktopWidth, caps.widthPixels);
    EXPECT_GE(caps.desktopHeight, caps.heightPixels);
    EXPECT_GT(caps.dpiX, 0u);
    EXPECT_GT(caps.bitsPerPixel, 0u);
    EXPECT_EQ(caps.planes, 1u);
    EXPECT_EQ(caps.aspectX, 36u);
    EXPECT_GT(caps.colorResolution, 0u);
    EXPECT_LE(caps.colorResolution, 24u);
}

} // namespace

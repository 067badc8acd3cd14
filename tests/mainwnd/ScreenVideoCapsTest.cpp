#include "mainwnd/ScreenVideoCaps.h"

#include <QApplication>

#include <gtest/gtest.h>

#include "support/TestApplication.h"

namespace {

TEST(ScreenVideoCapsTest, TheScreenOfAGuiApplicationIsDescribed) {
    TestApplication<QApplication>();
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

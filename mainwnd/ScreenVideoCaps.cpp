#include "mainwnd/ScreenVideoCaps.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace {

constexpr uint32_t kUnlimited = 0xFFFFFFFF; // "no fixed number" for brushes, pens and colours

uint32_t Rounded(double value) {
    return value > 0 ? static_cast<uint32_t>(std::lround(value)) : 0;
}

uint32_t Pixels(int logical, qreal ratio) {
    return Rounded(logical * ratio);
}

} // namespace

VideoCaps ScreenVideoCaps() {
    VideoCaps caps;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr)
        return caps;
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return caps;
    }
    const qreal ratio = screen->devicePixelRatio();
    const uint32_t depth = static_cast<uint32_t>(std::max(screen->depth(), 0));
    caps.widthMm = Rounded(screen->physicalSize().width());
    caps.heightMm = Rounded(screen->physicalSize().height());
    caps.widthPixels = Pixels(screen->geometry().width(), ratio);
    caps.heightPixels = Pixels(screen->geometry().height(), ratio);
    caps.dpiX = Rounded(screen->logicalDotsPerInchX());
    caps.dpiY = Rounded(screen->logicalDotsPerInchY());
    caps.bitsPerPixel = depth;
    caps.planes = 1;
    caps.brushes = kUnlimited;
    caps.pens = kUnlimited;
    caps.fonts = static_cast<uint32_t>(QFontDatabase::families().size());
    caps.colors = depth > 8 ? kUnlimited : (1u << depth);
    // Relative pixel width and height, 36 for square pixels.
    const qreal physicalX = screen->physicalDotsPerInchX();
    const qreal physicalY = screen->physicalDotsPerInchY();
    caps.aspectX = 36;
    caps.aspectY = physicalY > 0 ? Rounded(36 * physicalX / physicalY) : 36;
    caps.clipping = 1; // rectangles
    caps.colorResolution = std::min(depth, 24u);
    caps.verticalRefresh = Rounded(screen->refreshRate());
    caps.desktopWidth = Pixels(screen->virtualGeometry().width(), ratio);
    caps.desktopHeight = Pixels(screen->virtualGeometry().height(), ratio);
    return caps;
}

#include "app/SystemInformation.h"

#include "platform/Diagnostics.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <algorithm>
#include <cmath>
#include <sys/resource.h>

namespace {

constexpr uint32_t kUnlimited = 0xFFFFFFFF; // "no fixed number" for brushes, pens and colours

uint32_t Rounded(double value) {
    return value > 0 ? static_cast<uint32_t>(std::lround(value)) : 0;
}

uint32_t Pixels(int logical, qreal ratio) {
    return Rounded(logical * ratio);
}

// Version word as the socket layer reports it: major version in the low byte, minor in the
// high byte.
uint32_t VersionWord(const char* version) {
    const QStringList parts = QString::fromLatin1(version).split('.');
    const uint32_t major = parts.size() > 0 ? parts[0].toUInt() & 0xFF : 0;
    const uint32_t minor = parts.size() > 1 ? parts[1].toUInt() & 0xFF : 0;
    return major | (minor << 8);
}

} // namespace

VideoCaps CurrentVideoCaps() {
    VideoCaps caps;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) {
        return caps;
    }
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

SocketInformation CurrentSocketInformation() {
    SocketInformation info;
    const uint32_t word = VersionWord(qVersion());
    info.version = (word << 16) | word;
    info.description = std::string("Qt Network ") + qVersion() + " (QTcpSocket)";
    info.status = "Running";
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0) {
        info.maxSockets = static_cast<uint16_t>(std::min<rlim_t>(files.rlim_cur, 0xFFFF));
    }
    return info;
}

void WriteSystemInformation() {
    if (g_nDebugLevel < 1) {
        return;
    }
    if (!OpenDiagnosticsFile()) {
        g_nDebugLevel = 0;
        return;
    }
    WriteSystemSection(CollectSystemFigures());
    WriteVideoSection(CurrentVideoCaps());
}

void WriteSocketInformation() {
    if (g_nDebugLevel < 1 || !IsDiagnosticsFileOpen()) {
        return;
    }
    WriteSocketSection(CurrentSocketInformation());
}

void CloseSystemInformation() {
    CloseDiagnosticsFile();
}

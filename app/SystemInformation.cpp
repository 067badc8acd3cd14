#include "app/SystemInformation.h"

#include "platform/Diagnostics.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <algorithm>
#include <sys/resource.h>

namespace {

// Version word as the socket layer reports it: major version in the low byte, minor in the
// high byte.
uint32_t VersionWord(const char* version) {
    const QStringList parts = QString::fromLatin1(version).split('.');
    const uint32_t major = parts.size() > 0 ? parts[0].toUInt() & 0xFF : 0;
    const uint32_t minor = parts.size() > 1 ? parts[1].toUInt() & 0xFF : 0;
    return major | (minor << 8);
}

} // namespace

SocketInformation CurrentSocketInformation() {
    SocketInformation info;
    const uint32_t word = VersionWord(qVersion());
    info.version = (word << 16) | word;
    info.description = std::string("Qt Network ") + qVersion() + " (QAbstractSocket)";
    info.status = "Running";
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0) {
        info.maxSockets = static_cast<uint16_t>(std::min<rlim_t>(files.rlim_cur, 0xFFFF));
    }
    return info;
}

void WriteSystemInformation(const VideoCaps& video) {
    if (g_nDebugLevel < 1) {
        return;
    }
    if (!OpenDiagnosticsFile()) {
        g_nDebugLevel = 0;
        return;
    }
    WriteSystemSection(CollectSystemFigures());
    WriteVideoSection(video);
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

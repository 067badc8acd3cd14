#include "platform/Diagnostics.h"

#include "platform/ProgramFolder.h"

#include <cstdarg>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

int g_nDebugLevel = 0;

namespace {

std::FILE* g_pDebugFile = nullptr;

// Formats into the 1000-character message buffer (so at most 999 characters) and writes it.
void Write(bool flush, const char* format, va_list args) {
    if (g_pDebugFile == nullptr) {
        return;
    }
    char message[1000];
    const int length = std::vsnprintf(message, sizeof message, format, args);
    if (length <= 0) {
        return;
    }
    const size_t size = static_cast<size_t>(length) < sizeof message ? static_cast<size_t>(length)
                                                                     : sizeof message - 1;
    std::fwrite(message, 1, size, g_pDebugFile);
    if (flush) {
        std::fflush(g_pDebugFile);
    }
}

} // namespace

void DebugPrint(const char* format, ...) {
    va_list args;
    va_start(args, format);
    Write(true, format, args);
    va_end(args);
}

void DebugTrace(int level, const char* format, ...) {
    if (g_nDebugLevel < level) {
        return;
    }
    va_list args;
    va_start(args, format);
    Write(true, format, args);
    va_end(args);
}

void DebugTraceExact(int level, const char* format, ...) {
    if (g_nDebugLevel != level) {
        return;
    }
    va_list args;
    va_start(args, format);
    Write(false, format, args);
    va_end(args);
}

std::string DiagnosticsFilePath() {
    return ProgramFolder() + "GLEANWICK.DBG";
}

bool OpenDiagnosticsFile(const std::string& path) {
    CloseDiagnosticsFile();
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        return false;
    }
    // Exclusive use: a second instance must not truncate the file the first one is writing.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || ftruncate(fd, 0) != 0) {
        close(fd);
        return false;
    }
    fchmod(fd, 0600);
    g_pDebugFile = fdopen(fd, "w+");
    if (g_pDebugFile == nullptr) {
        close(fd);
        return false;
    }
    return true;
}

void CloseDiagnosticsFile() {
    if (g_pDebugFile != nullptr) {
        std::fclose(g_pDebugFile);
        g_pDebugFile = nullptr;
    }
}

bool IsDiagnosticsFileOpen() {
    return g_pDebugFile != nullptr;
}

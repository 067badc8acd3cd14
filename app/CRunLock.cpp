#include "app/CRunLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

CRunLock::CRunLock(const std::string& path) {
    m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_fd < 0)
        return;
    m_bBusy = ::flock(m_fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
}

CRunLock::~CRunLock() {
    if (m_fd >= 0)
        ::close(m_fd);
}

std::string CRunLock::BusyMessage(const std::string& programFolder) {
    return "Gleanwick is already running on " + programFolder + "; nothing done.";
}

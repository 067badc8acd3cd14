#include "options/CAtomicFileWriter.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/TempSiblings.h"

namespace {

constexpr std::size_t kFlushSize = 64 * 1024;

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A symbolic link stays in place: its target is the file that gets replaced.
std::string ResolveLink(std::string path) {
    std::error_code error;
    if (!std::filesystem::is_symlink(path, error)) {
        return path;
    }
    std::filesystem::path target = std::filesystem::canonical(path, error);
    return error ? path : target.string();
}

// A new file gets the mode the old one had, else what creating it would have given.
mode_t ModeFor(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        return st.st_mode & 07777;
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

void SyncFolder(const std::string& path) {
    const int dir = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) {
        return;
    }
    ::fsync(dir);
    ::close(dir);
}

} // namespace

std::size_t CAtomicFileWriter::RemoveLeftovers(const std::string& path) {
    return RemoveTempSiblings(ResolveLink(path));
}

CAtomicFileWriter::CAtomicFileWriter(std::string path)
    : m_strPath(ResolveLink(std::move(path))), m_strTempPath(TempSiblingTemplate(m_strPath)) {
    m_fd = ::mkostemp(m_strTempPath.data(), O_CLOEXEC);
    if (m_fd < 0) {
        m_strTempPath.clear();
        Fail("cannot create");
    }
    ::fchmod(m_fd, ModeFor(m_strPath));
}

CAtomicFileWriter::~CAtomicFileWriter() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    if (!m_strTempPath.empty()) {
        ::unlink(m_strTempPath.c_str());
    }
}

void CAtomicFileWriter::Write(std::string_view data) {
    m_buffer.append(data);
    if (m_buffer.size() >= kFlushSize) {
        Flush();
    }
}

void CAtomicFileWriter::Commit(const std::string& backupPath) {
    Flush();
    if (::fsync(m_fd) != 0) {
        Fail("cannot write");
    }
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) {
        Fail("cannot write");
    }
    if (!backupPath.empty()) {
        KeepBackup(backupPath);
    }
    if (::rename(m_strTempPath.c_str(), m_strPath.c_str()) != 0) {
        Fail("cannot replace");
    }
    m_strTempPath.clear();
    SyncFolder(m_strPath);
}

void CAtomicFileWriter::Flush() {
    const char* data = m_buffer.data();
    std::size_t left = m_buffer.size();
    while (left > 0) {
        const ssize_t written = ::write(m_fd, data, left);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            Fail("cannot write");
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    m_buffer.clear();
}

// A hard link keeps the old content reachable under the target's name until the new
// file replaces it, so no moment exists without a file at the target path.
void CAtomicFileWriter::KeepBackup(const std::string& backupPath) const {
    const std::string linkPath = m_strTempPath + ".old";
    if (::link(m_strPath.c_str(), linkPath.c_str()) == 0) {
        if (::rename(linkPath.c_str(), backupPath.c_str()) != 0) {
            ::unlink(linkPath.c_str());
        }
        return;
    }
    struct stat old {};
    if (errno != ENOENT && ::lstat(m_strPath.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        // A file system without hard links: move the old file aside instead (never a folder
        // that stands where the file should be).
        ::rename(m_strPath.c_str(), backupPath.c_str());
    }
}

void CAtomicFileWriter::Fail(const char* what) const {
    throw std::runtime_error(std::string(what) + " " + m_strPath + ": " + std::strerror(errno));
}

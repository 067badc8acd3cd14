#include "engine/OutputFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t kBufferSize = 64 * 1024;
constexpr mode_t kFileMode = 0644;
constexpr mode_t kFolderMode = 0755;

// A name that stays inside its folder: not empty, not "." or "..", no '/' and no NUL byte
// (which would silently cut the name the system sees).
bool IsPlainName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

// Creates the folder unless it exists, then opens it; -1 when that fails. An existing folder
// is fine; any other failure to create it shows when it is opened.
int OpenFolder(int parent, const std::string& name, int flags) {
    (void)::mkdirat(parent, name.c_str(), kFolderMode);
    return ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | flags);
}

class Descriptor {
  public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int Get() const { return m_fd; }

  private:
    int m_fd;
};

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

} // namespace

OutputFile::~OutputFile() {
    Close();
}

OutputFile::CreateResult OutputFile::Create(const std::string& decodeDir,
                                            const std::optional<std::string>& groupDir,
                                            const std::string& fileName) {
    Close();
    m_failed = false;
    m_path.clear();
    if (!IsPlainName(fileName) || decodeDir.find('\0') != std::string::npos ||
        (groupDir && !IsPlainName(*groupDir)))
        return CreateResult::Failed;

    const std::string folderPath = decodeDir.empty() ? std::string("./") : decodeDir;
    const Descriptor folder(OpenFolder(AT_FDCWD, folderPath, 0));
    if (folder.Get() < 0)
        return CreateResult::Failed;
    // Never through a link: a group folder must be a real folder inside the decode folder.
    const Descriptor group(groupDir ? OpenFolder(folder.Get(), *groupDir, O_NOFOLLOW) : -1);
    if (groupDir && group.Get() < 0)
        return CreateResult::Failed;

    // O_EXCL: an existing file, or a link of that name, is never opened, followed or replaced.
    const int fd = ::openat(groupDir ? group.Get() : folder.Get(), fileName.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kFileMode);
    if (fd < 0)
        return errno == EEXIST ? CreateResult::AlreadyExists : CreateResult::Failed;
    m_fd = fd;
    m_path = folderPath + (folderPath.ends_with('/') ? "" : "/") +
             (groupDir ? *groupDir + '/' : "") + fileName;
    m_buffer.reserve(kBufferSize);
    posix_fadvise(m_fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return CreateResult::Created;
}

bool OutputFile::Write(const char* data, size_t size) {
    if (!IsOpen() || m_failed)
        return false;
    if (m_buffer.size() + size > kBufferSize && !Flush())
        return false;
    if (size >= kBufferSize) {
        m_failed = !WriteAll(m_fd, data, size);
        return !m_failed;
    }
    m_buffer.insert(m_buffer.end(), data, data + size);
    return true;
}

bool OutputFile::WriteLine(std::string_view line) {
    return Write(line.data(), line.size()) && Write("\n", 1);
}

bool OutputFile::Flush() {
    if (m_failed)
        return false;
    m_failed = !WriteAll(m_fd, m_buffer.data(), m_buffer.size());
    m_buffer.clear();
    return !m_failed;
}

bool OutputFile::Close() {
    if (!IsOpen())
        return true;
    const bool flushed = Flush();
    const bool closed = ::close(m_fd) == 0;
    m_fd = -1;
    m_buffer.clear();
    return flushed && closed;
}

void OutputFile::CloseAndDelete() {
    if (!IsOpen())
        return;
    m_buffer.clear();
    ::close(m_fd);
    m_fd = -1;
    ::unlink(m_path.c_str());
}

std::string BaseFileName(std::string_view name) {
    const size_t backslash = name.rfind('\\');
    if (backslash != std::string_view::npos)
        name.remove_prefix(backslash + 1);
    const size_t slash = name.rfind('/');
    if (slash != std::string_view::npos)
        name.remove_prefix(slash + 1);
    return std::string(name);
}

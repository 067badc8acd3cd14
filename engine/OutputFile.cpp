#include "engine/OutputFile.h"

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr size_t kBufferSize = 64 * 1024;
constexpr mode_t kFileMode = 0644;
constexpr mode_t kFolderMode = 0755;
constexpr std::string_view kTempPrefix = ".gleanwick-";
constexpr std::string_view kTempSuffix = ".part";
constexpr std::string_view kTempLetters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr size_t kTempRandomLength = 6;

std::string RandomTempName() {
    static std::mt19937 generator{std::random_device{}()};
    std::uniform_int_distribution<size_t> pick(0, kTempLetters.size() - 1);
    std::string name(kTempPrefix);
    for (size_t i = 0; i < kTempRandomLength; ++i)
        name += kTempLetters[pick(generator)];
    return name += kTempSuffix;
}

bool NameExists(int folder, const std::string& name) {
    struct stat info {};
    return ::fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 || errno != ENOENT;
}

// Gives `from` the name `to` unless `to` exists (file, folder or link, dangling included).
bool RenameNoReplace(int folder, const std::string& from, const std::string& to) {
    if (::renameat2(folder, from.c_str(), folder, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // File systems without that flag: a hard link fails on an existing name as well.
    if (::linkat(folder, from.c_str(), folder, to.c_str(), 0) == 0) {
        ::unlinkat(folder, from.c_str(), 0); // else it goes at the next start
        return true;
    }
    if (errno == EEXIST || NameExists(folder, to))
        return false;
    // Nor hard links (FAT): checked just above, so only a name appearing in between is lost.
    return ::renameat(folder, from.c_str(), folder, to.c_str()) == 0;
}

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
    int Release() { return std::exchange(m_fd, -1); }

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
    // Data never finished is never left under a name a later run would trust.
    CloseAndDelete();
}

OutputFile::CreateResult OutputFile::Create(const std::string& decodeDir,
                                            const std::optional<std::string>& groupDir,
                                            const std::string& fileName) {
    CloseAndDelete();
    m_failed = false;
    m_error = 0;
    m_path.clear();
    if (!IsPlainName(fileName) || decodeDir.find('\0') != std::string::npos ||
        (groupDir && !IsPlainName(*groupDir)))
        return CreateResult::Failed;

    const std::string folderPath = decodeDir.empty() ? std::string("./") : decodeDir;
    Descriptor folder(OpenFolder(AT_FDCWD, folderPath, 0));
    if (folder.Get() < 0)
        return CreateResult::Failed;
    // Never through a link: a group folder must be a real folder inside the decode folder.
    Descriptor group(groupDir ? OpenFolder(folder.Get(), *groupDir, O_NOFOLLOW) : -1);
    if (groupDir && group.Get() < 0)
        return CreateResult::Failed;
    Descriptor& target = groupDir ? group : folder;

    // An existing file, or a link of that name, is never opened, followed or replaced.
    struct stat existing {};
    if (::fstatat(target.Get(), fileName.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0)
        return CreateResult::AlreadyExists;
    if (errno != ENOENT)
        return CreateResult::Failed;
    for (int attempt = 0; attempt < 100 && m_fd < 0; ++attempt) {
        std::string tempName = RandomTempName();
        m_fd = ::openat(target.Get(), tempName.c_str(),
                        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kFileMode);
        if (m_fd >= 0)
            m_tempName = std::move(tempName);
        else if (errno != EEXIST)
            return CreateResult::Failed;
    }
    if (m_fd < 0)
        return CreateResult::Failed;
    m_folderFd = target.Release();
    m_name = fileName;
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
        if (!WriteAll(m_fd, data, size)) {
            m_failed = true;
            m_error = errno;
        }
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
    if (!WriteAll(m_fd, m_buffer.data(), m_buffer.size())) {
        m_failed = true;
        m_error = errno;
    }
    m_buffer.clear();
    return !m_failed;
}

// Flushes what is left and closes the descriptor; false when anything written was lost.
bool OutputFile::CloseDescriptor() {
    if (!IsOpen())
        return !m_failed;
    const bool flushed = Flush();
    if (::close(m_fd) != 0 && !m_failed) {
        m_failed = true;
        m_error = errno;
    }
    m_fd = -1;
    m_buffer.clear();
    return flushed && !m_failed;
}

bool OutputFile::Rename() {
    if (!RenameNoReplace(m_folderFd, m_tempName, m_name))
        return false;
    Reset();
    return true;
}

void OutputFile::Reset() {
    if (m_folderFd >= 0)
        ::close(m_folderFd);
    m_folderFd = -1;
    m_tempName.clear();
}

bool OutputFile::Close() {
    if (m_tempName.empty())
        return true;
    return CloseDescriptor() && Rename();
}

void OutputFile::Keep() {
    if (m_tempName.empty())
        return;
    CloseDescriptor();
    if (!Rename())
        CloseAndDelete();
}

void OutputFile::CloseAndDelete() {
    if (IsOpen()) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_buffer.clear();
    if (m_tempName.empty())
        return;
    ::unlinkat(m_folderFd, m_tempName.c_str(), 0);
    Reset();
}

bool OutputFile::IsTemporaryName(std::string_view name) {
    if (name.size() != kTempPrefix.size() + kTempRandomLength + kTempSuffix.size() ||
        !name.starts_with(kTempPrefix) || !name.ends_with(kTempSuffix))
        return false;
    const std::string_view random = name.substr(kTempPrefix.size(), kTempRandomLength);
    return random.find_first_not_of(kTempLetters) == std::string_view::npos;
}

namespace {

// Removes our temporary files from an open folder, and with `depth`, from its subfolders.
size_t RemoveLeftoversIn(int folder, int depth) {
    DIR* listing = ::fdopendir(::dup(folder));
    if (listing == nullptr)
        return 0;
    size_t removed = 0;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat info {};
        if (::fstatat(folder, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISREG(info.st_mode) && OutputFile::IsTemporaryName(name)) {
            removed += ::unlinkat(folder, entry->d_name, 0) == 0;
        } else if (S_ISDIR(info.st_mode) && depth > 0) {
            const Descriptor sub(
                ::openat(folder, entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (sub.Get() >= 0)
                removed += RemoveLeftoversIn(sub.Get(), depth - 1);
        }
    }
    ::closedir(listing);
    return removed;
}

} // namespace

size_t OutputFile::RemoveLeftovers(const std::string& decodeDir) {
    const Descriptor folder(
        ::open(decodeDir.empty() ? "." : decodeDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return folder.Get() < 0 ? 0 : RemoveLeftoversIn(folder.Get(), 1);
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

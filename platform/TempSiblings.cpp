#include "platform/TempSiblings.h"

#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::string_view kMarker = ".tmp-";
constexpr std::string_view kRandomLetters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr std::size_t kRandomLength = 6;

bool IsTempSibling(std::string_view name, std::string_view stem) {
    if (name.size() != stem.size() + kRandomLength || !name.starts_with(stem))
        return false;
    return name.substr(stem.size()).find_first_not_of(kRandomLetters) == std::string_view::npos;
}

} // namespace

std::string TempSiblingTemplate(const std::string& path) {
    return path + std::string(kMarker) + std::string(kRandomLength, 'X');
}

std::size_t RemoveTempSiblings(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const std::string stem =
        (slash == std::string::npos ? path : path.substr(slash + 1)) + std::string(kMarker);
    DIR* listing = ::opendir(folder.c_str());
    if (listing == nullptr)
        return 0;
    const int folderFd = ::dirfd(listing);
    std::size_t removed = 0;
    while (const dirent* entry = ::readdir(listing)) {
        if (!IsTempSibling(entry->d_name, stem))
            continue;
        struct stat info {};
        if (::fstatat(folderFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(info.st_mode))
            removed += ::unlinkat(folderFd, entry->d_name, 0) == 0;
    }
    ::closedir(listing);
    return removed;
}

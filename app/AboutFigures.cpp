#include "app/AboutFigures.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <sys/statvfs.h>
#include <unistd.h>

#include "platform/CStringTable.h"
#include "platform/StringIds.h"

namespace {

// The mount table writes blanks, tabs, line ends and backslashes in names as "\ooo".
std::string UnescapeMountField(std::string_view field) {
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        const std::string_view digits = field.substr(i + 1, 3);
        const bool octal = field[i] == '\\' && digits.size() == 3 &&
                           digits.find_first_not_of("01234567") == std::string_view::npos;
        if (!octal) {
            out += field[i];
            continue;
        }
        out +=
            static_cast<char>((digits[0] - '0') * 64 + (digits[1] - '0') * 8 + (digits[2] - '0'));
        i += 3;
    }
    return out;
}

// True when `mountPoint` is `path` or one of its parent folders.
bool Holds(std::string_view mountPoint, std::string_view path) {
    if (!path.starts_with(mountPoint))
        return false;
    return mountPoint.ends_with('/') || path.size() == mountPoint.size() ||
           path[mountPoint.size()] == '/';
}

// The fifth field of a mountinfo line.
std::string_view MountPointField(std::string_view line) {
    size_t start = 0;
    for (int field = 0; field < 4; ++field) {
        start = line.find(' ', start);
        if (start == std::string_view::npos)
            return {};
        ++start;
    }
    return line.substr(start, line.find(' ', start) - start);
}

// The figure formats hold one "%lu" and, for the disk, one "%s"; both are filled in as text.
std::string FillFigure(std::string format, uint64_t number, std::string_view text = {}) {
    if (const size_t mark = format.find("%lu"); mark != std::string::npos)
        format.replace(mark, 3, std::to_string(number));
    if (const size_t mark = format.find("%s"); mark != std::string::npos)
        format.replace(mark, 2, text);
    return format;
}

} // namespace

std::optional<uint64_t> TotalPhysicalMemoryKb() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return std::nullopt;
    return static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize) / 1024;
}

std::string MountPointOf(std::string_view mountInfo, std::string_view path) {
    std::string best;
    std::istringstream lines{std::string(mountInfo)};
    for (std::string line; std::getline(lines, line);) {
        const std::string mountPoint = UnescapeMountField(MountPointField(line));
        // A later mount on the same folder hides the earlier one, hence >=.
        if (!mountPoint.empty() && Holds(mountPoint, path) && mountPoint.size() >= best.size())
            best = mountPoint;
    }
    return best;
}

std::optional<DiskSpace> QueryDiskSpace(const std::string& folder, const std::string& mountTable) {
    std::error_code error;
    const std::filesystem::path canonical = std::filesystem::canonical(folder, error);
    struct statvfs figures {};
    if (error || statvfs(canonical.c_str(), &figures) != 0)
        return std::nullopt;
    std::ifstream table(mountTable);
    const std::string text{std::istreambuf_iterator<char>(table), std::istreambuf_iterator<char>()};
    DiskSpace space;
    space.mountPoint = MountPointOf(text, canonical.string());
    if (space.mountPoint.empty())
        return std::nullopt;
    space.freeKb = static_cast<uint64_t>(figures.f_bavail) * figures.f_frsize / 1024;
    return space;
}

std::string MemoryAvailableText() {
    const std::optional<uint64_t> memory = TotalPhysicalMemoryKb();
    if (!memory)
        return CStringTable::Load(ids::kUnavailable);
    return FillFigure(CStringTable::Load(ids::kMemoryKb), *memory);
}

std::string DiskSpaceAvailableText(const std::string& folder, const std::string& mountTable) {
    const std::optional<DiskSpace> space = QueryDiskSpace(folder, mountTable);
    if (!space)
        return CStringTable::Load(ids::kUnavailable);
    return FillFigure(CStringTable::Load(ids::kDiskFree), space->freeKb, space->mountPoint);
}

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The About box's figures: the machine's memory and the free space of the file system that
// holds the program folder.

// The kernel's table of mounted file systems.
inline constexpr const char* kMountTable = "/proc/self/mountinfo";

// Total physical memory in kilobytes; nothing when the system does not tell.
std::optional<uint64_t> TotalPhysicalMemoryKb();

struct DiskSpace {
    uint64_t freeKb = 0;    // available to this user
    std::string mountPoint; // where the file system is mounted: "/", "/home"
};
// The file system holding `folder`, with its mount point taken from `mountTable` (the
// format of /proc/self/mountinfo). Nothing when the folder or the table cannot be read.
std::optional<DiskSpace> QueryDiskSpace(const std::string& folder,
                                        const std::string& mountTable = kMountTable);

// The mount point that holds the absolute, canonical `path` according to the mount table
// text: the longest mount point that is `path` or one of its parent folders; empty when none.
std::string MountPointOf(std::string_view mountInfo, std::string_view path);

// The texts of the About box's fields: "%lu KB" (string 106) and "%lu KB Free on %s"
// (string 107), or "Unavailable" (string 108) when the figure cannot be had.
std::string MemoryAvailableText();
std::string DiskSpaceAvailableText(const std::string& folder,
                                   const std::string& mountTable = kMountTable);

#include "app/AboutFigures.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "support/TempHome.h"

namespace {

// MemTotal of /proc/meminfo, in kilobytes.
uint64_t MemTotalKb() {
    std::ifstream meminfo("/proc/meminfo");
    for (std::string line; std::getline(meminfo, line);) {
        if (line.starts_with("MemTotal:"))
            return std::stoull(line.substr(9));
    }
    return 0;
}

// What df says of the folder: mount point and available kilobytes.
std::pair<std::string, uint64_t> DfFigures(const std::string& folder) {
    const std::string command = "df -P -k '" + folder + "' 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return {};
    char buffer[4096];
    std::string text;
    while (size_t read = fread(buffer, 1, sizeof buffer, pipe))
        text.append(buffer, read);
    pclose(pipe);
    std::istringstream lines(text);
    std::string header, row;
    std::getline(lines, header);
    std::getline(lines, row);
    std::istringstream fields(row);
    std::string device, capacity, mountPoint;
    uint64_t blocks = 0, used = 0, available = 0;
    fields >> device >> blocks >> used >> available >> capacity;
    std::getline(fields >> std::ws, mountPoint);
    return {mountPoint, available};
}

TEST(AboutFiguresTest, MemoryIsTheTotalPhysicalMemoryInKilobytes) {
    const uint64_t memTotal = MemTotalKb();
    ASSERT_GT(memTotal, 0u);
    EXPECT_EQ(TotalPhysicalMemoryKb(), memTotal);
    EXPECT_EQ(MemoryAvailableText(), std::to_string(memTotal) + " KB");
}

TEST(AboutFiguresTest, DiskSpaceIsThatOfTheFileSystemHoldingTheFolder) {
    TempFolder folder;
    const auto [mountPoint, available] = DfFigures(folder.Path());
    ASSERT_FALSE(mountPoint.empty());
    const std::optional<DiskSpace> space = QueryDiskSpace(folder.Path());
    ASSERT_TRUE(space);
    EXPECT_EQ(space->mountPoint, mountPoint);
    // Others write to the same disk meanwhile.
    EXPECT_NEAR(static_cast<double>(space->freeKb), static_cast<double>(available), 1024 * 1024);
    EXPECT_EQ(DiskSpaceAvailableText(folder.Path()).find(" KB Free on " + mountPoint),
              std::to_string(space->freeKb).size());
}

// A file system mounted below the root, where there is one: the figure names it, not "/".
TEST(AboutFiguresTest, AFolderOnAnotherMountNamesThatMount) {
    if (!std::filesystem::is_directory("/dev/shm") || DfFigures("/dev/shm").first != "/dev/shm")
        GTEST_SKIP() << "no separate /dev/shm mount here";
    const std::optional<DiskSpace> space = QueryDiskSpace("/dev/shm");
    ASSERT_TRUE(space);
    EXPECT_EQ(space->mountPoint, "/dev/shm");
}

TEST(AboutFiguresTest, UnavailableWhenTheQueryFails) {
    EXPECT_EQ(DiskSpaceAvailableText("/nonexistent/gleanwick"), "Unavailable");
    TempFolder folder;
    EXPECT_EQ(DiskSpaceAvailableText(folder.Path(), "/nonexistent/mountinfo"), "Unavailable");
}

TEST(AboutFiguresTest, TheLongestMountPointHoldingThePathWins) {
    const std::string table = "22 1 254:0 / / rw,relatime - ext4 /dev/vda rw\n"
                              "23 22 0:22 / /home rw,relatime - ext4 /dev/vdb rw\n"
                              "24 23 0:23 / /home/ann/my\\040disk rw - ext4 /dev/vdc rw\n"
                              "25 22 0:24 / /srv rw - tmpfs tmpfs rw\n"
                              "26 22 0:25 / /srv rw - ext4 /dev/vdd rw\n"
                              "broken line\n";
    EXPECT_EQ(MountPointOf(table, "/home/ann/Gleanwick"), "/home");
    EXPECT_EQ(MountPointOf(table, "/home"), "/home");
    EXPECT_EQ(MountPointOf(table, "/homework/x"), "/");
    EXPECT_EQ(MountPointOf(table, "/home/ann/my disk/Gleanwick"), "/home/ann/my disk");
    EXPECT_EQ(MountPointOf(table, "/srv/news"), "/srv");
    EXPECT_EQ(MountPointOf(table, "/"), "/");
    EXPECT_EQ(MountPointOf("", "/home"), "");
}

} // namespace

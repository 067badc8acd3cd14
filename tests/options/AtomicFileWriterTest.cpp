#include <gtest/gtest.h>

#include <sys/stat.h>

#include "options/CAtomicFileWriter.h"
#include "support/ProfileHome.h"

namespace {

std::size_t FilesIn(const std::string& folder) {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) {
        ++count;
    }
    return count;
}

TEST(AtomicFileWriterTest, TargetChangesOnlyAtCommit) {
    ProfileHome home;
    const std::string path = home / "data";
    WriteFile(path, "old\n");
    {
        CAtomicFileWriter writer(path);
        writer.Write(std::string(200000, 'x'));
        EXPECT_EQ(ReadFile(path), "old\n");
    } // abandoned: no commit
    EXPECT_EQ(ReadFile(path), "old\n");
    EXPECT_EQ(FilesIn(home.Path()), 1u) << "the temporary file is removed";

    CAtomicFileWriter writer(path);
    writer.Write("new\n");
    writer.Commit();
    EXPECT_EQ(ReadFile(path), "new\n");
    EXPECT_EQ(FilesIn(home.Path()), 1u);
}

TEST(AtomicFileWriterTest, BackupReceivesThePreviousContent) {
    ProfileHome home;
    const std::string path = home / "data";
    const std::string backup = path + ".backup";
    WriteFile(path, "one");
    WriteFile(backup, "ancient");
    CAtomicFileWriter writer(path);
    writer.Write("two");
    writer.Commit(backup);
    EXPECT_EQ(ReadFile(path), "two");
    EXPECT_EQ(ReadFile(backup), "one");
    EXPECT_EQ(FilesIn(home.Path()), 2u);
}

TEST(AtomicFileWriterTest, ReplacementKeepsTheFileModeAndSymbolicLinks) {
    ProfileHome home;
    const std::string path = home / "data";
    WriteFile(path, "x");
    ::chmod(path.c_str(), 0640);
    CAtomicFileWriter writer(path);
    writer.Write("y");
    writer.Commit();
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    const std::string link = home / "link";
    std::filesystem::create_symlink(path, link);
    CAtomicFileWriter through(link);
    through.Write("z");
    through.Commit();
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadFile(path), "z");
}

} // namespace

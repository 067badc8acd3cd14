#include "engine/OutputFile.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

class OutputFileTest : public testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/gw-output-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_root = pattern;
        m_decodeDir = (m_root / "Decodes").string() + "/";
    }
    void TearDown() override { fs::remove_all(m_root); }

    static std::string Read(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // Every regular file under the test root, so that a file landing anywhere is seen.
    size_t FileCount() const {
        size_t count = 0;
        for (const auto& entry : fs::recursive_directory_iterator(m_root))
            count += entry.is_regular_file();
        return count;
    }

    fs::path m_root;
    std::string m_decodeDir;
};

TEST_F(OutputFileTest, CreatesWritesAndClosesByteExact) {
    OutputFile file;
    ASSERT_EQ(file.Create(m_decodeDir, "", "pic.jpg"), OutputFile::CreateResult::Created);
    EXPECT_TRUE(file.IsOpen());
    EXPECT_EQ(file.Path(), m_decodeDir + "pic.jpg");
    std::string expected;
    // Small writes, one larger than the buffer, then lines.
    for (int i = 0; i < 5000; ++i) {
        const std::string chunk(static_cast<size_t>(i % 50), static_cast<char>(i));
        ASSERT_TRUE(file.Write(chunk.data(), chunk.size()));
        expected += chunk;
    }
    const std::string big(200000, 'b');
    ASSERT_TRUE(file.Write(big.data(), big.size()));
    ASSERT_TRUE(file.WriteLine("raw line"));
    expected += big + "raw line\n";
    EXPECT_TRUE(file.Close());
    EXPECT_FALSE(file.IsOpen());
    EXPECT_FALSE(file.Write("x", 1));
    EXPECT_EQ(Read(m_decodeDir + "pic.jpg"), expected);
    struct stat info {};
    ASSERT_EQ(stat((m_decodeDir + "pic.jpg").c_str(), &info), 0);
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(info.st_mode & 0777, 0644 & ~mask);
}

TEST_F(OutputFileTest, ExistingFilesAndLinksAreNeverTouched) {
    fs::create_directory(m_decodeDir);
    std::ofstream(m_decodeDir + "old.jpg") << "first decode";
    std::ofstream(m_root / "outside") << "outside";
    fs::create_symlink(m_root / "outside", m_decodeDir + "link.jpg");
    fs::create_symlink(m_root / "missing", m_decodeDir + "dangling.jpg");
    OutputFile file;
    EXPECT_EQ(file.Create(m_decodeDir, "", "old.jpg"), OutputFile::CreateResult::AlreadyExists);
    EXPECT_EQ(file.Create(m_decodeDir, "", "link.jpg"), OutputFile::CreateResult::AlreadyExists);
    EXPECT_EQ(file.Create(m_decodeDir, "", "dangling.jpg"),
              OutputFile::CreateResult::AlreadyExists);
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(Read(m_decodeDir + "old.jpg"), "first decode");
    EXPECT_EQ(Read(m_root / "outside"), "outside");
    EXPECT_FALSE(fs::exists(m_root / "missing"));
}

TEST_F(OutputFileTest, NamesNeverLeaveTheDecodeFolder) {
    EXPECT_EQ(BaseFileName("dir/sub\\pic.jpg"), "pic.jpg");
    EXPECT_EQ(BaseFileName("../x"), "x");
    EXPECT_EQ(BaseFileName("/etc/x"), "x");
    EXPECT_EQ(BaseFileName("a\\..\\..\\x"), "x");
    EXPECT_EQ(BaseFileName("C:\\pics\\"), "");
    EXPECT_EQ(BaseFileName("a/b\\c"), "c");
    EXPECT_EQ(BaseFileName("a\\b/c"), "c");
    EXPECT_EQ(BaseFileName(".."), "..");
    EXPECT_EQ(BaseFileName("plain name.gif"), "plain name.gif");

    OutputFile file;
    for (const std::string& name :
         std::vector<std::string>{"", ".", "..", "../x", "/etc/x", "a/b", std::string("x\0/y", 4),
                                  std::string("..\0z", 4)}) {
        EXPECT_EQ(file.Create(m_decodeDir, "", name), OutputFile::CreateResult::Failed) << name;
        EXPECT_FALSE(file.IsOpen());
    }
    EXPECT_EQ(FileCount(), 0u);
    // A colon is an ordinary character here.
    ASSERT_EQ(file.Create(m_decodeDir, "", "a:b"), OutputFile::CreateResult::Created);
    EXPECT_TRUE(file.Close());
}

TEST_F(OutputFileTest, GroupFolders) {
    OutputFile file;
    ASSERT_EQ(file.Create(m_decodeDir, "alt.x", "pic.jpg"), OutputFile::CreateResult::Created);
    EXPECT_EQ(file.Path(), m_decodeDir + "alt.x/pic.jpg");
    ASSERT_TRUE(file.Close());
    EXPECT_TRUE(fs::is_regular_file(m_decodeDir + "alt.x/pic.jpg"));
    // The folder is there already the second time.
    ASSERT_EQ(file.Create(m_decodeDir, "alt.x", "two.jpg"), OutputFile::CreateResult::Created);
    ASSERT_TRUE(file.Close());

    for (const std::string& group :
         std::vector<std::string>{".", "..", "a/b", "../escape", std::string("g\0h", 3)})
        EXPECT_EQ(file.Create(m_decodeDir, group, "f.jpg"), OutputFile::CreateResult::Failed)
            << group;
    // A group folder that is a link is not followed.
    fs::create_directory(m_root / "elsewhere");
    fs::create_directory_symlink(m_root / "elsewhere", m_decodeDir + "alt.link");
    EXPECT_EQ(file.Create(m_decodeDir, "alt.link", "f.jpg"), OutputFile::CreateResult::Failed);
    EXPECT_TRUE(fs::is_empty(m_root / "elsewhere"));
    EXPECT_EQ(FileCount(), 2u);
}

TEST_F(OutputFileTest, DecodeFolderIsCreatedOneLevelOnly) {
    OutputFile file;
    ASSERT_EQ(file.Create(m_decodeDir, "", "a"), OutputFile::CreateResult::Created);
    EXPECT_TRUE(file.Close());
    const std::string deep = (m_root / "no" / "such").string() + "/";
    EXPECT_EQ(file.Create(deep, "", "a"), OutputFile::CreateResult::Failed);
    EXPECT_FALSE(fs::exists(m_root / "no"));
}

TEST_F(OutputFileTest, CloseAndDeleteRemovesThePartialFile) {
    OutputFile file;
    ASSERT_EQ(file.Create(m_decodeDir, "", "partial"), OutputFile::CreateResult::Created);
    ASSERT_TRUE(file.Write("abc", 3));
    file.CloseAndDelete();
    EXPECT_FALSE(file.IsOpen());
    EXPECT_FALSE(fs::exists(m_decodeDir + "partial"));
    // The same name can then be decoded afresh.
    EXPECT_EQ(file.Create(m_decodeDir, "", "partial"), OutputFile::CreateResult::Created);
}

// Runs the writes in a child with a 100 KiB file-size limit; the exit code says which
// call reported the failure (1 Write, 2 Close) or 0 when none did.
int WriteBeyondLimit(const std::string& decodeDir, size_t chunk) {
    const pid_t child = fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{100 * 1024, 100 * 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
        OutputFile file;
        if (file.Create(decodeDir, "", "big") != OutputFile::CreateResult::Created)
            _exit(3);
        const std::string data(chunk, 'x');
        for (size_t written = 0; written < 300 * 1024; written += chunk) {
            if (!file.Write(data.data(), data.size()))
                _exit(file.Close() ? 4 : 1);
        }
        _exit(file.Close() ? 0 : 2);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(OutputFileTest, WriteFailuresAreReported) {
    // Through the buffer, and past it with large writes; either way a failure is reported
    // by a Write and again by Close.
    EXPECT_EQ(WriteBeyondLimit(m_decodeDir, 100), 1);
    fs::remove(m_decodeDir + "big");
    EXPECT_EQ(WriteBeyondLimit(m_decodeDir, 150 * 1024), 1);
}

TEST_F(OutputFileTest, FailureHiddenInTheBufferShowsAtClose) {
    const pid_t child = fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{10, 10};
        setrlimit(RLIMIT_FSIZE, &limit);
        OutputFile file;
        if (file.Create(m_decodeDir, "", "small") != OutputFile::CreateResult::Created)
            _exit(3);
        // Still buffered: the write itself cannot know yet.
        if (!file.Write("more than ten bytes", 19))
            _exit(4);
        _exit(file.Close() ? 0 : 2);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2);
}

} // namespace

#include "engine/OutputFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class OutputFileTest : public testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/gw-output-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_root = pattern;
        m_dir = (m_root / "Decodes").string() + "/";
    }
    void TearDown() override { fs::remove_all(m_root); }

    static std::string Read(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // Regular files anywhere under the test root, so that a file landing outside is seen.
    size_t FileCount() const {
        size_t count = 0;
        for (const auto& entry : fs::recursive_directory_iterator(m_root))
            count += entry.is_regular_file();
        return count;
    }
    // Writes total bytes in chunks in a child whose files are limited to limit bytes; the exit
    // code says which call reported the failure first (1 Write, 2 Close), 0 none, 3 a Close
    // that hid it.
    int WriteBeyondLimit(size_t chunk, size_t total, rlim_t limit) const {
        const pid_t child = fork();
        if (child == 0) {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit fileSize{limit, limit};
            setrlimit(RLIMIT_FSIZE, &fileSize);
            OutputFile file;
            file.Create(m_dir, std::nullopt, "big");
            const std::string data(chunk, 'x');
            for (size_t written = 0; written < total; written += chunk) {
                if (!file.Write(data.data(), data.size()))
                    _exit(file.Close() ? 3 : 1);
            }
            _exit(file.Close() ? 0 : 2);
        }
        int status = 0;
        waitpid(child, &status, 0);
        fs::remove_all(m_dir);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // Names in the decode folder, sorted.
    std::vector<std::string> Names(const std::string& folder) const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path m_root;
    std::string m_dir;
};

TEST_F(OutputFileTest, WritesThroughTheBufferByteExact) {
    OutputFile file;
    ASSERT_EQ(file.Create(m_dir, std::nullopt, "pic.jpg"), OutputFile::CreateResult::Created);
    EXPECT_EQ(file.Path(), m_dir + "pic.jpg");
    std::string expected;
    for (int i = 0; i < 5000; ++i) {
        const std::string chunk(static_cast<size_t>(i % 50), static_cast<char>(i));
        ASSERT_TRUE(file.Write(chunk.data(), chunk.size()));
        expected += chunk;
    }
    const std::string big(200000, 'b');
    ASSERT_TRUE(file.Write(big.data(), big.size()));
    ASSERT_TRUE(file.WriteLine("raw line"));
    EXPECT_TRUE(file.Close());
    EXPECT_FALSE(file.Write("x", 1));
    EXPECT_EQ(Read(m_dir + "pic.jpg"), expected + big + "raw line\n");
}

TEST_F(OutputFileTest, ExistingFilesAndLinksAreNeverTouched) {
    fs::create_directory(m_dir);
    std::ofstream(m_dir + "old.jpg") << "first decode";
    std::ofstream(m_root / "outside") << "outside";
    fs::create_symlink(m_root / "outside", m_dir + "link.jpg");
    fs::create_symlink(m_root / "missing", m_dir + "dangling.jpg");
    OutputFile file;
    for (const char* name : {"old.jpg", "link.jpg", "dangling.jpg"})
        EXPECT_EQ(file.Create(m_dir, std::nullopt, name), OutputFile::CreateResult::AlreadyExists)
            << name;
    EXPECT_EQ(Read(m_dir + "old.jpg"), "first decode");
    EXPECT_EQ(Read(m_root / "outside"), "outside");
    EXPECT_FALSE(fs::exists(m_root / "missing"));
}

TEST_F(OutputFileTest, NamesNeverLeaveTheDecodeFolder) {
    EXPECT_EQ(BaseFileName("dir/sub\\pic.jpg"), "pic.jpg");
    EXPECT_EQ(BaseFileName("a\\b/c"), "c");
    EXPECT_EQ(BaseFileName("../x"), "x");
    EXPECT_EQ(BaseFileName("/etc/x"), "x");
    EXPECT_EQ(BaseFileName("a\\..\\..\\x"), "x");
    EXPECT_EQ(BaseFileName("C:\\pics\\"), "");

    OutputFile file;
    const std::vector<std::string> names = {"",       ".",   "..",         "../x",
                                            "/etc/x", "a/b", {"x\0/y", 4}, {"..\0z", 4}};
    for (const std::string& name : names)
        EXPECT_EQ(file.Create(m_dir, std::nullopt, name), OutputFile::CreateResult::Failed) << name;
    const std::vector<std::string> groups = {"", ".", "..", "a/b", "../escape", {"g\0h", 3}};
    for (const std::string& group : groups)
        EXPECT_EQ(file.Create(m_dir, group, "f.jpg"), OutputFile::CreateResult::Failed) << group;
    // A group folder that is a link is not followed.
    fs::create_directories(m_dir);
    fs::create_directory(m_root / "elsewhere");
    fs::create_directory_symlink(m_root / "elsewhere", m_dir + "alt.link");
    EXPECT_EQ(file.Create(m_dir, "alt.link", "f.jpg"), OutputFile::CreateResult::Failed);
    EXPECT_EQ(FileCount(), 0u);
}

TEST_F(OutputFileTest, FoldersAndDeletion) {
    OutputFile file;
    ASSERT_EQ(file.Create(m_dir, "alt.x", "pic.jpg"), OutputFile::CreateResult::Created);
    EXPECT_EQ(file.Path(), m_dir + "alt.x/pic.jpg");
    EXPECT_TRUE(file.Close());
    ASSERT_EQ(file.Create(m_dir, "alt.x", "two.jpg"), OutputFile::CreateResult::Created);
    ASSERT_TRUE(file.Write("abc", 3));
    file.CloseAndDelete();
    EXPECT_FALSE(file.IsOpen());
    EXPECT_FALSE(fs::exists(m_dir + "alt.x/two.jpg"));
    EXPECT_TRUE(fs::is_regular_file(m_dir + "alt.x/pic.jpg"));
    // The decode folder is made one level deep only.
    EXPECT_EQ(file.Create((m_root / "no/such/").string(), std::nullopt, "a"),
              OutputFile::CreateResult::Failed);
    EXPECT_FALSE(fs::exists(m_root / "no"));
}

TEST_F(OutputFileTest, WriteFailuresAreReported) {
    EXPECT_EQ(WriteBeyondLimit(100, 300 * 1024, 100 * 1024), 1);        // through the buffer
    EXPECT_EQ(WriteBeyondLimit(150 * 1024, 300 * 1024, 100 * 1024), 1); // past it
    // Still in the buffer when the limit is hit: Close reports it.
    EXPECT_EQ(WriteBeyondLimit(19, 19, 10), 2);
}

TEST_F(OutputFileTest, TheFinalNameAppearsOnlyWhenTheFileIsComplete) {
    OutputFile file;
    ASSERT_EQ(file.Create(m_dir, std::nullopt, "pic.jpg"), OutputFile::CreateResult::Created);
    ASSERT_TRUE(file.Write("abc", 3));
    ASSERT_TRUE(file.Flush());
    std::vector<std::string> names = Names(m_dir);
    ASSERT_EQ(names.size(), 1u);
    EXPECT_TRUE(OutputFile::IsTemporaryName(names[0])) << names[0];
    EXPECT_EQ(Read(m_dir + names[0]), "abc");
    // A second file started meanwhile checks the final name, not the temporary one.
    OutputFile other;
    EXPECT_EQ(other.Create(m_dir, std::nullopt, "pic.jpg"), OutputFile::CreateResult::Created);
    other.CloseAndDelete();
    EXPECT_TRUE(file.Close());
    EXPECT_EQ(Names(m_dir), std::vector<std::string>{"pic.jpg"});
    EXPECT_EQ(Read(m_dir + "pic.jpg"), "abc");

    // Never closed as complete: nothing stays, whatever the name.
    {
        OutputFile dropped;
        ASSERT_EQ(dropped.Create(m_dir, "alt.x", "cut.bin"), OutputFile::CreateResult::Created);
        ASSERT_TRUE(dropped.Write("partial", 7));
    }
    EXPECT_TRUE(Names(m_dir + "alt.x").empty());
}

TEST_F(OutputFileTest, AFailedDecodeIsKeptOnlyOnRequestAndNeverOverAnotherFile) {
    OutputFile file;
    ASSERT_EQ(file.Create(m_dir, std::nullopt, "kept.bin"), OutputFile::CreateResult::Created);
    ASSERT_TRUE(file.Write("half", 4));
    file.Keep();
    EXPECT_EQ(Read(m_dir + "kept.bin"), "half");

    // Something takes the name while the file is written: it is left alone.
    ASSERT_EQ(file.Create(m_dir, std::nullopt, "race.bin"), OutputFile::CreateResult::Created);
    ASSERT_TRUE(file.Write("mine", 4));
    std::ofstream(m_dir + "race.bin") << "theirs";
    EXPECT_FALSE(file.Close());
    file.Keep();
    EXPECT_EQ(Read(m_dir + "race.bin"), "theirs");
    EXPECT_EQ(Names(m_dir), (std::vector<std::string>{"kept.bin", "race.bin"}));
}

TEST_F(OutputFileTest, LeftoversOfAKilledProcessAreRemovedAndNothingElse) {
    fs::create_directories(m_dir + "alt.x");
    fs::create_directories(m_root / "outside");
    const std::vector<std::string> ours = {".gleanwick-AbC123.part",
                                           "alt.x/.gleanwick-zz9900.part"};
    const std::vector<std::string> theirs = {".gleanwick-AbC12.part",   ".gleanwick-AbC1234.part",
                                             ".gleanwick-AbC12-.part",  "gleanwick-AbC123.part",
                                             ".gleanwick-AbC123.partx", "pic.jpg"};
    for (const std::string& name : ours)
        std::ofstream(m_dir + name) << "x";
    for (const std::string& name : theirs)
        std::ofstream(m_dir + name) << "x";
    // Links are not followed, neither as folders nor as files.
    std::ofstream(m_root / "outside" / ".gleanwick-AbC123.part") << "x";
    fs::create_directory_symlink(m_root / "outside", m_dir + "link");
    fs::create_symlink(m_root / "outside" / ".gleanwick-AbC123.part",
                       m_dir + ".gleanwick-Link00.part");

    EXPECT_EQ(OutputFile::RemoveLeftovers(m_dir), ours.size());
    for (const std::string& name : ours)
        EXPECT_FALSE(fs::exists(m_dir + name)) << name;
    for (const std::string& name : theirs)
        EXPECT_TRUE(fs::exists(m_dir + name)) << name;
    EXPECT_TRUE(fs::exists(m_root / "outside" / ".gleanwick-AbC123.part"));
    EXPECT_TRUE(fs::is_symlink(m_dir + ".gleanwick-Link00.part"));
    EXPECT_EQ(OutputFile::RemoveLeftovers((m_root / "missing").string()), 0u);
}

} // namespace

#include "engine/ActivityLog.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class ActivityLogTest : public testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/gw-log-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_folder = std::string(pattern) + "/";
        // Local time is what the names and stamps use; pin it.
        setenv("TZ", "UTC", 1);
        tzset();
        std::tm start{};
        start.tm_year = 2026 - 1900;
        start.tm_mon = 11;
        start.tm_mday = 6;
        start.tm_hour = 19;
        start.tm_min = 47;
        start.tm_sec = 14;
        m_start = timegm(&start);
    }
    void TearDown() override { fs::remove_all(m_folder); }

    std::string Read(const std::string& name) const {
        std::ifstream in(m_folder + name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    std::string m_folder;
    std::time_t m_start = 0;
};

TEST_F(ActivityLogTest, NamedAfterTheStartStampedLines) {
    ActivityLog log;
    ASSERT_TRUE(log.Open(m_folder, m_start));
    EXPECT_TRUE(log.IsOpen());
    log.Write("Killing message with author of: x", m_start + 1);
    log.WriteFileDecode("pic.jpg", "a@b (A)", "pic.jpg (1/1)", m_start + 2);
    // Flushed at once: readable before the close.
    EXPECT_EQ(Read("Gleanwick.120626194714.log"),
              "[12/06/2026 19:47:15] Killing message with author of: x\n"
              "[12/06/2026 19:47:16] File Decode: pic.jpg, a@b (A), pic.jpg (1/1)\n");
    log.Close();
    EXPECT_FALSE(log.IsOpen());
    log.Write("after close", m_start + 3);
    EXPECT_EQ(Read("Gleanwick.120626194714.log").find("after close"), std::string::npos);
}

TEST_F(ActivityLogTest, SameSecondEmptiesThePreviousFile) {
    ActivityLog log;
    ASSERT_TRUE(log.Open(m_folder, m_start));
    log.Write("first run", m_start);
    log.Close();
    ASSERT_TRUE(log.Open(m_folder, m_start));
    log.Write("second run", m_start);
    log.Close();
    EXPECT_EQ(Read("Gleanwick.120626194714.log"), "[12/06/2026 19:47:14] second run\n");
}

TEST_F(ActivityLogTest, ArgumentsAreTextNeverFormats) {
    ActivityLog log;
    ASSERT_TRUE(log.Open(m_folder, m_start));
    const std::string longSubject(5000, 's');
    log.WriteFileDecode("%s%n.jpg", "%1 %d", longSubject, m_start);
    log.Write(std::string("nul\0byte", 8), m_start);
    log.Close();
    EXPECT_EQ(Read("Gleanwick.120626194714.log"),
              "[12/06/2026 19:47:14] File Decode: %s%n.jpg, %1 %d, " + longSubject + "\n" +
                  std::string("[12/06/2026 19:47:14] nul\0byte\n", 31));
}

TEST_F(ActivityLogTest, UncreatableFileMeansNoLog) {
    ActivityLog log;
    EXPECT_FALSE(log.Open(m_folder + "missing/", m_start));
    EXPECT_FALSE(log.IsOpen());
    log.Write("nowhere", m_start);
    log.WriteFileDecode("a", "b", "c", m_start);
    EXPECT_FALSE(fs::exists(m_folder + "missing"));
}

} // namespace

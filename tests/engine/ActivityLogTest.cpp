#include "engine/ActivityLog.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

class ActivityLogTest : public testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/gw-log-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_folder = std::string(pattern) + "/";
        setenv("TZ", "UTC", 1); // names and stamps are local time
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
    void TearDown() override { std::filesystem::remove_all(m_folder); }

    std::string Read() const {
        std::ifstream in(m_folder + "Gleanwick.120626194714.log", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    std::string m_folder;
    std::time_t m_start = 0;
};

TEST_F(ActivityLogTest, NamedAfterTheStartStampedAndFlushedLines) {
    ActivityLog log;
    ASSERT_TRUE(log.Open(m_folder, m_start));
    log.Write("Killing message with author of: x", m_start + 1);
    log.WriteFileDecode("pic.jpg", "a@b (A)", "%s%n (1/1)", m_start + 2);
    EXPECT_EQ(Read(), "[12/06/2026 19:47:15] Killing message with author of: x\n"
                      "[12/06/2026 19:47:16] File Decode: pic.jpg, a@b (A), %s%n (1/1)\n");
    log.Close();
    log.Write("after close", m_start + 3);
    EXPECT_EQ(Read().find("after close"), std::string::npos);
}

TEST_F(ActivityLogTest, SameSecondEmptiesThePreviousFile) {
    ActivityLog log;
    ASSERT_TRUE(log.Open(m_folder, m_start));
    log.Write("first run", m_start);
    ASSERT_TRUE(log.Open(m_folder, m_start));
    log.Write("second run", m_start);
    EXPECT_EQ(Read(), "[12/06/2026 19:47:14] second run\n");
}

TEST_F(ActivityLogTest, UncreatableFileMeansNoLog) {
    ActivityLog log;
    EXPECT_FALSE(log.Open(m_folder + "missing/", m_start));
    EXPECT_FALSE(log.IsOpen());
    log.Write("nowhere", m_start);
    EXPECT_FALSE(std::filesystem::exists(m_folder + "missing"));
}

TEST_F(ActivityLogTest, NamesFromArticlesCannotBreakLinesOrSendEscapes) {
    ActivityLog log;
    ASSERT_TRUE(log.Open(m_folder, m_start));
    log.WriteFileDecode("a\nb.jpg", "Eve\r\n[01/01/2000 00:00:00] forged", "\x1b[2Jx", m_start);
    log.Write("Already decoded: c\rd", m_start);
    const std::string text = Read();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2) << text;
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_EQ(text.find('\x1b'), std::string::npos);
    EXPECT_NE(text.find("a?b.jpg"), std::string::npos) << text;
}

} // namespace

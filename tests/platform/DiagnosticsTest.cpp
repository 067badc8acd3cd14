#include "platform/Diagnostics.h"
#include "platform/SystemSections.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class DiagnosticsTest : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(OpenDiagnosticsFile(m_path)); }
    void TearDown() override {
        CloseDiagnosticsFile();
        g_nDebugLevel = 0;
    }
    std::string Contents() const { return ReadFile(m_path); }
    std::string Closed() {
        CloseDiagnosticsFile();
        return Contents();
    }

    TempFolder m_dir;
    std::string m_path = m_dir / "GLEANWICK.DBG";
};

TEST_F(DiagnosticsTest, TraceWritesAtItsLevelAndAbove) {
    for (int level : {0, 1, 2, 3, 5, 9}) {
        g_nDebugLevel = level;
        DebugTrace(3, "sent at %d\n", level);
    }
    EXPECT_EQ(Closed(), "sent at 3\nsent at 5\nsent at 9\n");
}

TEST_F(DiagnosticsTest, ExactTraceWritesOnlyAtThatLevelAndWithoutFlushing) {
    for (int level : {3, 4, 5, 9}) {
        g_nDebugLevel = level;
        DebugTraceExact(4, "Subject: at %d\n", level);
    }
    // Still in the buffer: the header-line trace does not flush.
    EXPECT_EQ(Contents(), "");
    g_nDebugLevel = 4;
    DebugTrace(1, "flushed\n");
    EXPECT_EQ(Contents(), "Subject: at 4\nflushed\n");
}

TEST_F(DiagnosticsTest, PrintFlushesWhateverTheLevel) {
    g_nDebugLevel = 0;
    DebugPrint("System Information:\n");
    EXPECT_EQ(Contents(), "System Information:\n");
}

TEST_F(DiagnosticsTest, LongMessagesAreCutTo999Characters) {
    g_nDebugLevel = 5;
    const std::string line(1500, 'x');
    DebugTrace(5, "%s\n", line.c_str());
    DebugTrace(5, "%s", std::string(999, 'y').c_str());
    DebugTrace(5, "%s!", std::string(998, 'z').c_str());
    EXPECT_EQ(Closed(),
              std::string(999, 'x') + std::string(999, 'y') + std::string(998, 'z') + "!");
}

TEST_F(DiagnosticsTest, OpeningTruncatesAndKeepsTheFilePrivate) {
    g_nDebugLevel = 1;
    DebugTrace(1, "first run\n");
    CloseDiagnosticsFile();
    ASSERT_TRUE(OpenDiagnosticsFile(m_path));
    DebugTrace(1, "second run\n");
    EXPECT_EQ(Contents(), "second run\n");
    struct stat info {};
    ASSERT_EQ(stat(m_path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(DiagnosticsTest, AFileHeldByAnotherInstanceIsLeftAlone) {
    g_nDebugLevel = 1;
    DebugTrace(1, "running instance\n");
    CloseDiagnosticsFile();
    const int other = open(m_path.c_str(), O_RDWR);
    ASSERT_GE(other, 0);
    ASSERT_EQ(flock(other, LOCK_EX), 0);
    EXPECT_FALSE(OpenDiagnosticsFile(m_path));
    EXPECT_FALSE(IsDiagnosticsFileOpen());
    DebugTrace(1, "goes nowhere\n");
    close(other);
    EXPECT_EQ(Contents(), "running instance\n");
    EXPECT_FALSE(OpenDiagnosticsFile(m_dir / "missing/folder/GLEANWICK.DBG"));
    // A link in its place is not followed: what it points to is not truncated.
    const std::string target = m_dir / "precious";
    WriteFile(target, "keep");
    std::filesystem::create_symlink(target, m_dir / "linked.dbg");
    EXPECT_FALSE(OpenDiagnosticsFile(m_dir / "linked.dbg"));
    EXPECT_EQ(std::filesystem::file_size(target), 4u);
}

TEST_F(DiagnosticsTest, SectionsKeepTheirLayout) {
    SystemFigures figures;
    figures.processorArchitecture = 9;
    figures.pageSize = 4096;
    figures.userLocale = 0x409;
    figures.versionInfo = "Linux 6.1.0";
    WriteSystemSection(figures);
    VideoCaps caps;
    caps.widthPixels = 1920;
    caps.textCaps = 0xFFFFFFFF;
    WriteVideoSection(caps);
    SocketInformation socket{0x04060406, "Qt Network 6.4.2", "Running", 1024, std::nullopt};
    WriteSocketSection(socket);
    const std::string text = Closed();

    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    ASSERT_EQ(lines.size(), 62u) << text;
    EXPECT_EQ(lines[0], "System Information:");
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[2], "Processor Architecture: 0x0009");
    EXPECT_EQ(lines[3], "Page Size:              0x00001000");
    EXPECT_EQ(lines[14], "User Local:\t\t\t\t0x00000409");
    EXPECT_EQ(lines[20], "Windows Version Info:   Linux 6.1.0");
    EXPECT_EQ(lines[22], "Video:");
    EXPECT_EQ(lines[24], "Driver Version:         0x00000000");
    EXPECT_EQ(lines[27], "Screen Width (pixels):  0x00000780");
    EXPECT_EQ(lines[46], "Prefered Bit Alignment: 0x00000000");
    EXPECT_EQ(lines[51], "Text Caps:              0xFFFFFFFF");
    EXPECT_EQ(lines[53], "Winsock:");
    EXPECT_EQ(lines[55], "Winsock Version:        0x04060406");
    EXPECT_EQ(lines[57], "Winsock Status:         Running");
    EXPECT_EQ(lines[58], "Winsock MaxSockts:      1024");
    EXPECT_EQ(lines[60], "Program Output:");
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_EQ(text.find("Vendor"), std::string::npos);
}

TEST_F(DiagnosticsTest, VendorLineAppearsWhenThereIsVendorInformation) {
    WriteSocketSection(SocketInformation{0, "d", "Running", 0, "OpenSSL 3.0"});
    EXPECT_NE(Closed().find("Winsock MaxSockts:      0\nWinsock Vendor Info:    OpenSSL 3.0\n"
                            "\nProgram Output:\n\n"),
              std::string::npos);
}

TEST(SystemFiguresTest, LocaleNamesBecomeLocaleIdentifiers) {
    EXPECT_EQ(LocaleIdentifier("en_US.UTF-8"), 0x0409u);
    EXPECT_EQ(LocaleIdentifier("en_GB"), 0x0809u);
    EXPECT_EQ(LocaleIdentifier("de_DE@euro"), 0x0407u);
    EXPECT_EQ(LocaleIdentifier("fr_LU.UTF-8"), 0x040Cu); // the language's first country
    EXPECT_EQ(LocaleIdentifier("C.UTF-8"), 0x007Fu);
    EXPECT_EQ(LocaleIdentifier("POSIX"), 0x007Fu);
    EXPECT_EQ(LocaleIdentifier("xx_YY"), 0u);
    EXPECT_EQ(LocaleIdentifier(""), 0u);
}

TEST(SystemFiguresTest, KernelReleaseAndProcessorFigures) {
    uint32_t major = 9, minor = 9, build = 9;
    ParseKernelRelease("6.1.0-18-amd64", major, minor, build);
    EXPECT_EQ(std::tie(major, minor, build), std::make_tuple(6u, 1u, 0u));
    ParseKernelRelease("5.15", major, minor, build);
    EXPECT_EQ(std::tie(major, minor, build), std::make_tuple(5u, 15u, 0u));
    ParseKernelRelease("weird", major, minor, build);
    EXPECT_EQ(std::tie(major, minor, build), std::make_tuple(0u, 0u, 0u));

    uint16_t level = 0, revision = 0;
    ParseCpuInfo("processor\t: 0\nvendor_id\t: GenuineIntel\ncpu family\t: 6\n"
                 "model\t\t: 85\nmodel name\t: Xeon\nstepping\t: 7\n",
                 level, revision);
    EXPECT_EQ(level, 6);
    EXPECT_EQ(revision, 0x5507);
    ParseCpuInfo("CPU architecture: 8\nCPU variant\t: 0x3\nCPU revision\t: 1\n", level, revision);
    EXPECT_EQ(level, 8);
    EXPECT_EQ(revision, 1);
}

TEST(SystemFiguresTest, ThisMachineHasFigures) {
    const SystemFigures figures = CollectSystemFigures();
    EXPECT_GT(figures.pageSize, 0u);
    EXPECT_GE(figures.processorCount, 1u);
    EXPECT_NE(figures.processorMask, 0u);
    EXPECT_GE(figures.majorVersion, 3u);
    EXPECT_TRUE(figures.versionInfo.starts_with("Linux ")) << figures.versionInfo;
}

} // namespace

#include "app/SystemInformation.h"
#include "TestHome.h"
#include "platform/Diagnostics.h"
#include "support/TestApplication.h"

#include <gtest/gtest.h>

namespace {

class SystemInformationTest : public testing::Test {
  protected:
    void TearDown() override {
        CloseSystemInformation();
        g_nDebugLevel = 0;
    }
    TestHome m_home;
};

TEST_F(SystemInformationTest, NothingIsWrittenWithDiagnosticsOff) {
    g_nDebugLevel = 0;
    WriteSystemInformation();
    WriteSocketInformation();
    EXPECT_FALSE(m_home.Exists("GLEANWICK.DBG"));
}

TEST_F(SystemInformationTest, StartUpSectionsInOrder) {
    TestApplication(); // no GUI application: the video figures are all 0
    g_nDebugLevel = 1;
    WriteSystemInformation();
    WriteSocketInformation();
    DebugTrace(2, "not at level 1\n");
    DebugTrace(1, "Newsgroups dialog\n");
    CloseSystemInformation();

    const std::string text = m_home.Read("GLEANWICK.DBG");
    const size_t system = text.find("System Information:\n\nProcessor Architecture: 0x");
    const size_t video = text.find("\nVideo:\n\nDriver Version:         0x00000000\n");
    const size_t lastCap = text.find("Text Caps:              0x00000000\n\nWinsock:\n\n");
    const size_t output = text.find("\nProgram Output:\n\nNewsgroups dialog\n");
    EXPECT_EQ(system, 0u) << text;
    EXPECT_NE(video, std::string::npos) << text;
    EXPECT_NE(lastCap, std::string::npos) << text;
    EXPECT_NE(output, std::string::npos) << text;
    EXPECT_LT(video, lastCap);
    EXPECT_LT(lastCap, output);
    EXPECT_NE(text.find("Winsock Status:         Running\n"), std::string::npos);
    EXPECT_EQ(text.find("Vendor Info"), std::string::npos);
    EXPECT_EQ(text.find("not at level 1"), std::string::npos);
    EXPECT_TRUE(text.ends_with("Newsgroups dialog\n"));
}

// The window's start-up hands over its screen's figures; they land in the video section.
TEST_F(SystemInformationTest, VideoFiguresFromTheCallerAreWritten) {
    VideoCaps caps;
    caps.widthPixels = 1920;
    caps.heightPixels = 1080;
    g_nDebugLevel = 1;
    WriteSystemInformation(caps);
    CloseSystemInformation();
    const std::string text = m_home.Read("GLEANWICK.DBG");
    EXPECT_NE(text.find("Screen Width (pixels):  0x00000780\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Screen Height (pixels): 0x00000438\n"), std::string::npos) << text;
}

TEST_F(SystemInformationTest, AFileThatCannotBeCreatedSwitchesDiagnosticsOff) {
    m_home.Write("blocker", "a file where a folder should be");
    setenv("GLEANWICK_HOME", (m_home / "blocker/sub").c_str(), 1); // restored by m_home
    g_nDebugLevel = 3;
    WriteSystemInformation();
    EXPECT_EQ(g_nDebugLevel, 0);
    EXPECT_FALSE(IsDiagnosticsFileOpen());
}

TEST(SocketInformationTest, DescribesQtNetwork) {
    const SocketInformation info = CurrentSocketInformation();
    EXPECT_EQ(info.version >> 16, info.version & 0xFFFF);
    EXPECT_EQ(info.version & 0xFF, static_cast<uint32_t>(QT_VERSION_MAJOR));
    EXPECT_EQ(info.status, "Running");
    EXPECT_TRUE(info.description.starts_with("Qt Network ")) << info.description;
    EXPECT_GT(info.maxSockets, 0);
    EXPECT_FALSE(info.vendorInfo.has_value());
}

} // namespace

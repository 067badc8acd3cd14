#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "NntpTestSupport.h"
#include "nntp/CGroupListHost.h"
#include "platform/ConnectionErrors.h"
#include "servers/CGroupTable.h"
#include "support/ScriptedServer.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class RecordingProgress : public IGroupDownloadProgress {
  public:
    explicit RecordingProgress(std::vector<std::string>& texts) : m_texts(texts) {}
    void SetCounterText(const std::string& text) override { m_texts.push_back(text); }
    bool PumpMessages() override { return false; }

  private:
    std::vector<std::string>& m_texts;
};

class GroupListHostTest : public NntpTest {
  protected:
    void SetUp() override {
        m_host.SetEnableMainWindow([this](bool enable) { m_enabled.push_back(enable); });
        CGroupTable::SetListHost(&m_host);
    }
    void TearDown() override {
        CGroupTable::SetListHost(nullptr);
        NntpTest::TearDown();
    }

    CGroupListHost m_host{m_profile};
    std::vector<bool> m_enabled;
};

// The group-list download runs over this layer's blocking connection: connect, LIST,
// every line, QUIT; the main window is disabled meanwhile.
TEST_F(GroupListHostTest, FullListIsReadOverABlockingConnection) {
    ScriptedServer server({Script()
                               .Send("200 ok\r\n")
                               .Expect("MODE READER")
                               .Send("200 reader\r\n")
                               .Expect("LIST")
                               .Send("215 list\r\nalt.b 2 1 y\r\nalt.a 5 1 y\r\n.\r\n")});
    Configure("127.0.0.1", server.Port(), 5000);
    std::vector<std::string> texts;
    m_host.SetProgressFactory(
        [&](const std::string&) { return std::make_unique<RecordingProgress>(texts); });
    CGroupTable table(m_profile, "127.0.0.1");
    table.FetchFullList(nullptr);
    ASSERT_TRUE(server.WaitDone(5000));
    ASSERT_EQ(table.GetCount(), 2u);
    EXPECT_EQ(table.GetAt(0).name, "alt.a");
    EXPECT_EQ(table.GetAt(1).name, "alt.b");
    EXPECT_EQ(texts.size(), 1u);
    EXPECT_THAT(m_enabled, ElementsAre(false, true));
    EXPECT_THAT(server.Received(), ElementsAre(ElementsAre("MODE READER", "LIST", "QUIT")));
}

TEST_F(GroupListHostTest, FailedConnectReachesTheCallerWithTheWindowEnabledAgain) {
    ScriptedServer server({Script().Send("502 no permission\r\n")});
    Configure("127.0.0.1", server.Port(), 5000);
    CGroupTable table(m_profile, "127.0.0.1");
    EXPECT_THROW(table.FetchFullList(nullptr), CConnectionException);
    EXPECT_THAT(m_enabled, ElementsAre(false, true));
    EXPECT_EQ(table.GetCount(), 0u);
}

} // namespace

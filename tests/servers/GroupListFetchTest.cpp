#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <filesystem>

#include "platform/ConnectionErrors.h"
#include "servers/CGroupTable.h"
#include "servers/IGroupListHost.h"
#include "support/ProfileHome.h"

namespace {

constexpr const char* kServer = "news.example.com";
const std::string kSection = std::string("Servers\\") + kServer;

// What the scripted server answers and what the fetch did, in order.
struct Script {
    int replyCode = 215;
    std::vector<std::string> lines; // reply lines after the code, "." included
    int failAtRead = -1;
    int cancelAtPump = -1;
    bool cancelLogon = false;

    std::vector<std::string> events;
    std::vector<std::string> counterTexts;
    int reads = 0;
    int pumps = 0;
};

class ScriptedConnection : public IBlockingConnection {
  public:
    explicit ScriptedConnection(Script& script) : m_script(script) {}
    void Connect() override {
        m_script.events.push_back("connect");
        if (m_script.cancelLogon) {
            throw CUserCancelException();
        }
    }
    void SendLine(std::string_view line) override {
        m_script.events.push_back("send " + std::string(line));
    }
    std::string ReadLine() override {
        const int index = m_script.reads++;
        if (index == m_script.failAtRead || index >= static_cast<int>(m_script.lines.size())) {
            throw CConnectionException("read failed");
        }
        return m_script.lines[static_cast<std::size_t>(index)];
    }
    int ExpectCode(int code) override {
        m_script.events.push_back("expect " + std::to_string(code));
        if (code != m_script.replyCode) {
            throw CConnectionException("unexpected reply");
        }
        return code;
    }
    void Close() override { m_script.events.push_back("close"); }

  private:
    Script& m_script;
};

class ScriptedProgress : public IGroupDownloadProgress {
  public:
    explicit ScriptedProgress(Script& script) : m_script(script) {}
    ~ScriptedProgress() override { m_script.events.push_back("progress closed"); }
    void SetCounterText(const std::string& text) override { m_script.counterTexts.push_back(text); }
    bool PumpMessages() override {
        const int call = m_script.pumps++;
        return m_script.cancelAtPump >= 0 && call >= m_script.cancelAtPump;
    }

  private:
    Script& m_script;
};

class ScriptedHost : public IGroupListHost {
  public:
    explicit ScriptedHost(Script& script) : m_script(script) {}
    std::unique_ptr<IBlockingConnection> MakeConnection(const std::string& server) override {
        m_script.events.push_back("connection " + server);
        return std::make_unique<ScriptedConnection>(m_script);
    }
    std::unique_ptr<IGroupDownloadProgress> MakeProgress(const std::string& server) override {
        m_script.events.push_back("progress " + server);
        return std::make_unique<ScriptedProgress>(m_script);
    }
    void EnableMainWindow(bool enable) override {
        m_script.events.push_back(enable ? "enable" : "disable");
    }

  private:
    Script& m_script;
};

// Reply lines for `count` groups, listed from the highest name down, then ".".
std::vector<std::string> ListReply(int count) {
    std::vector<std::string> lines;
    for (int i = count - 1; i >= 0; --i) {
        char text[64];
        std::snprintf(text, sizeof text, "alt.group%04d 0000001200 0000001000 y", i);
        lines.emplace_back(text);
    }
    lines.emplace_back(".");
    return lines;
}

std::vector<std::string> Tail(const std::vector<std::string>& events, std::size_t count) {
    return {events.end() - static_cast<std::ptrdiff_t>(count), events.end()};
}

const std::vector<std::string> kCleanup = {"enable", "close", "progress closed"};

class GroupListFetchTest : public ::testing::Test {
  protected:
    GroupListFetchTest() { CGroupTable::SetListHost(&host); }
    ~GroupListFetchTest() override { CGroupTable::SetListHost(nullptr); }

    std::string LastUpdate() const {
        return home.profile.GetProfileString(kSection, "Last Update");
    }
    static std::string LocalStamp() {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        char text[32];
        std::strftime(text, sizeof text, "%y%m%d %H%M%S", &local);
        return text;
    }
    // Written with the local clock during the test.
    bool IsTimeStamp(const std::string& text) const {
        return text.size() == 13 && text[6] == ' ' && m_strStart <= text && text <= LocalStamp();
    }

    std::string m_strStart = LocalStamp();
    ProfileHome home;
    Script script;
    ScriptedHost host{script};
    CGroupTable table{home.profile, kServer};
};

TEST_F(GroupListFetchTest, FullListFillsTheTableInNameOrderWithCounterEveryHundredLines) {
    script.lines = ListReply(250);
    table.FetchFullList(nullptr);

    const std::vector<std::string> opening = {"disable",
                                              "progress news.example.com",
                                              "connection news.example.com",
                                              "connect",
                                              "send LIST",
                                              "expect 215"};
    ASSERT_GE(script.events.size(), opening.size() + kCleanup.size());
    EXPECT_EQ(std::vector<std::string>(script.events.begin(), script.events.begin() + 6), opening);
    EXPECT_EQ(Tail(script.events, 3), kCleanup);
    EXPECT_EQ(script.counterTexts, (std::vector<std::string>{"Downloading group number 0...",
                                                             "Downloading group number 100...",
                                                             "Downloading group number 200..."}));
    EXPECT_EQ(script.pumps, 250);
    ASSERT_EQ(table.GetCount(), 250u);
    for (std::size_t i = 0; i < table.GetCount(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "alt.group%04zu", i);
        ASSERT_EQ(table.GetAt(i).name, name);
        ASSERT_TRUE(table.GetAt(i).isNew);
        ASSERT_FALSE(table.GetAt(i).subscribed);
    }
    EXPECT_TRUE(table.m_bListFetched);
    EXPECT_TRUE(IsTimeStamp(LastUpdate())) << LastUpdate();
}

TEST_F(GroupListFetchTest, EmptyListStillRecordsTheFetch) {
    script.lines = {"."};
    table.FetchFullList(nullptr);
    EXPECT_EQ(table.GetCount(), 0u);
    EXPECT_TRUE(script.counterTexts.empty());
    EXPECT_TRUE(table.m_bListFetched);
    EXPECT_TRUE(IsTimeStamp(LastUpdate()));
}

TEST_F(GroupListFetchTest, CancelKeepsTheGroupsReceivedAndRecordsTheFetch) {
    script.lines = ListReply(50);
    script.cancelAtPump = 3;
    table.FetchFullList(nullptr);
    EXPECT_EQ(table.GetCount(), 3u);
    EXPECT_EQ(script.reads, 4) << "the rest of the reply is not read";
    EXPECT_EQ(Tail(script.events, 3), kCleanup);
    EXPECT_TRUE(table.m_bListFetched);
    EXPECT_TRUE(IsTimeStamp(LastUpdate()));
}

TEST_F(GroupListFetchTest, FailuresCleanUpPassOnAndRecordNothing) {
    script.lines = ListReply(20);
    script.failAtRead = 5;
    EXPECT_THROW(table.FetchFullList(nullptr), CConnectionException);
    EXPECT_EQ(table.GetCount(), 5u) << "groups read before the failure stay";
    EXPECT_EQ(Tail(script.events, 3), kCleanup);

    Script refused;
    refused.replyCode = 480;
    ScriptedHost refusingHost(refused);
    CGroupTable::SetListHost(&refusingHost);
    CGroupTable other(home.profile, kServer);
    EXPECT_THROW(other.FetchFullList(nullptr), CConnectionException);
    EXPECT_EQ(Tail(refused.events, 4),
              (std::vector<std::string>{"expect 215", "enable", "close", "progress closed"}));

    Script cancelled;
    cancelled.cancelLogon = true;
    ScriptedHost cancellingHost(cancelled);
    CGroupTable::SetListHost(&cancellingHost);
    EXPECT_THROW(other.FetchFullList(nullptr), CUserCancelException);
    EXPECT_EQ(Tail(cancelled.events, 3), kCleanup);

    EXPECT_FALSE(table.m_bListFetched);
    EXPECT_FALSE(other.m_bListFetched);
    EXPECT_EQ(LastUpdate(), "");
}

TEST_F(GroupListFetchTest, LoadWithoutNewsrcFetchesTheFullList) {
    script.lines = {"b.group 1 1 y", "a.group 1 1 y", "."};
    table.Load();
    ASSERT_EQ(table.GetCount(), 2u);
    EXPECT_EQ(table.GetAt(0).name, "a.group");
    EXPECT_TRUE(table.GetAt(0).isNew);
    EXPECT_FALSE(table.HasSubscribedGroups());
    EXPECT_TRUE(table.m_bListFetched);
}

TEST_F(GroupListFetchTest, ResetListCarriesStateOverFromThePreviousTable) {
    auto old = std::make_unique<GroupRecord>();
    old->name = "alt.group0001";
    old->subscribed = true;
    old->last = 5000;
    old->pending = {4990};
    table.Append(std::move(old));

    script.lines = ListReply(3);
    CGroupTable fresh(home.profile, kServer);
    fresh.FetchFullList(&table);
    ASSERT_EQ(fresh.GetCount(), 3u);
    EXPECT_TRUE(fresh.GetAt(0).isNew);
    const GroupRecord& carried = fresh.GetAt(1);
    EXPECT_FALSE(carried.isNew);
    EXPECT_TRUE(carried.subscribed);
    EXPECT_EQ(carried.last, 5000u);
    EXPECT_EQ(carried.pending, std::vector<uint32_t>{4990});
}

TEST_F(GroupListFetchTest, NewGroupsWithoutLastUpdateSendsTheBareCommand) {
    script.replyCode = 231;
    script.lines = {"alt.new 1 1 y", "."};
    table.FetchNewGroups();

    EXPECT_EQ(script.events,
              (std::vector<std::string>{"progress news.example.com", "connection news.example.com",
                                        "connect", "send NEWGROUPS ", "expect 231", "close",
                                        "progress closed"}));
    EXPECT_EQ(script.pumps, 0) << "no events are handled during the new-groups fetch";
    EXPECT_EQ(script.counterTexts, std::vector<std::string>{"Downloading group number 0..."});
    ASSERT_EQ(table.GetCount(), 1u);
    EXPECT_TRUE(table.GetAt(0).isNew);
    EXPECT_TRUE(table.m_bListFetched);
    EXPECT_TRUE(IsTimeStamp(LastUpdate()));

    script.events.clear();
    table.FetchNewGroups();
    EXPECT_TRUE(script.events.empty()) << "one successful fetch per table and run";
}

TEST_F(GroupListFetchTest, NewGroupsSendsTheStoredTimeAndRetriesAfterAFailure) {
    home.profile.WriteProfileString(kSection, "Last Update", "991231 235959");
    script.replyCode = 231;
    script.lines = {"."};
    script.failAtRead = 0;
    EXPECT_THROW(table.FetchNewGroups(), CConnectionException);
    EXPECT_FALSE(table.m_bListFetched);
    EXPECT_EQ(LastUpdate(), "991231 235959");
    EXPECT_EQ(Tail(script.events, 2), (std::vector<std::string>{"close", "progress closed"}));

    script.failAtRead = -1;
    script.reads = 0;
    script.events.clear();
    table.FetchNewGroups();
    EXPECT_EQ(script.events[3], "send NEWGROUPS 991231 235959");
    EXPECT_EQ(table.GetCount(), 0u);
    EXPECT_TRUE(table.m_bListFetched);
    EXPECT_NE(LastUpdate(), "991231 235959");
}

TEST_F(GroupListFetchTest, WithoutAConnectionLayerFetchesFail) {
    CGroupTable::SetListHost(nullptr);
    EXPECT_THROW(table.FetchFullList(nullptr), CConnectionException);
    EXPECT_THROW(table.FetchNewGroups(), CConnectionException);
}

TEST_F(GroupListFetchTest, ATableThatReplacesAnotherKeepsTheBackupThatOneTook) {
    WriteFile(table.GetNewsrcPath(), "before: 1\n");
    table.Append(std::make_unique<GroupRecord>(GroupRecord{2, false, true, "alt.group0000", {}}));
    table.Save();
    script.lines = ListReply(1);
    CGroupTable reset(home.profile, kServer);
    reset.FetchFullList(&table);
    reset.Save();
    EXPECT_EQ(ReadFile(table.GetNewsrcPath() + ".backup"), "before: 1\n");
}

TEST_F(GroupListFetchTest, AListCutByAFailureIsKeptButNotStoredUnlikeOneTheUserStopped) {
    script.lines = ListReply(250);
    script.failAtRead = 120;
    EXPECT_ANY_THROW(table.FetchFullList(nullptr));
    EXPECT_GT(table.GetCount(), 0u);
    table.Save();
    EXPECT_FALSE(std::filesystem::exists(table.GetNewsrcPath()));

    // The same table fetched again in full is stored.
    script = Script{};
    script.lines = ListReply(3);
    table.FetchFullList(nullptr);
    table.Save();
    EXPECT_TRUE(std::filesystem::exists(table.GetNewsrcPath()));

    CGroupTable stopped(home.profile, "stopped.example");
    script = Script{};
    script.lines = ListReply(250);
    script.cancelAtPump = 50;
    stopped.FetchFullList(nullptr);
    stopped.Save();
    const std::string stored = ReadFile(stopped.GetNewsrcPath());
    EXPECT_EQ(static_cast<std::size_t>(std::count(stored.begin(), stored.end(), '\n')),
              stopped.GetCount());
}

TEST_F(GroupListFetchTest, AListThatGoesOnWithoutEndIsRefusedAndNothingKept) {
    constexpr int kBeyondAnyServer = 300001;
    script.lines = ListReply(kBeyondAnyServer);
    try {
        table.FetchFullList(nullptr);
        ADD_FAILURE() << "an endless list was accepted";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("more than 300000 groups"), std::string::npos)
            << e.what();
    }
    EXPECT_EQ(table.GetCount(), 0u);
    table.Save();
    EXPECT_FALSE(std::filesystem::exists(table.GetNewsrcPath()));

    // The same from NEWGROUPS leaves the groups the table had.
    script = Script{};
    script.lines = ListReply(2);
    table.FetchFullList(nullptr);
    script = Script{};
    script.replyCode = 231;
    script.lines = ListReply(kBeyondAnyServer);
    table.m_bListFetched = false;
    EXPECT_THROW(table.FetchNewGroups(), std::runtime_error);
    EXPECT_EQ(table.GetCount(), 2u);

    // Few groups with names of endless length count as well.
    script = Script{};
    const std::string name(20 << 20, 'a');
    script.lines = {name + "1 1 1 y", name + "2 1 1 y", "."};
    EXPECT_THROW(table.FetchFullList(nullptr), std::runtime_error);
}

} // namespace

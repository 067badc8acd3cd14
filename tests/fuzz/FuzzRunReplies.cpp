// Whole runs against a hostile server: every line it sends comes from the input, whatever the
// run asked, so the greeting, the login replies, GROUP, HEAD and BODY replies may be anything,
// arrive early, late, or be followed by lines no command asked for. Stops, a catch-up of the
// current group and connection errors may come anywhere.
//
// Input: three switch bytes, then text split into lines at '\n' and into replies at empty
// lines. The server sends the next reply when a connection starts (the greeting) and after
// each command; when the run waits and nothing is left, the server drops the connection.
//   byte 0: bit 0 login required, bit 1 catch-up run, bit 2 the logon prompt is confirmed,
//           bit 3 group folders, bit 4 delete failed decodes, bit 5 articles without a part
//           identifier are decoded, bit 6 log file, bit 7 the first group has pending articles
//   byte 1: the injection point, as a fraction of the replies
//   byte 2: bits 0-1 what happens there (nothing, a stop, a connection error, a catch-up of
//           the current group), bits 2-7 the groups' stored position, in thousands
// Checked on the way: the run sends at most one command per step, each a well-formed command
// without a line break; it asks only for subscribed groups, each once; walks a group's range
// upwards within the numbers the GROUP reply gave (as read by a reference), asks for pending
// articles only when the group has them, and for bodies only of articles it asked about. After
// each input: the run is idle, every connection is gone, no file descriptor is left open,
// nothing was written outside the decode folder but the .newsrc and the log file, and each
// group's stored position and pending articles follow from what the server said.
#include "engine/CExtractionRun.h"
#include "engine/ILogList.h"
#include "options/CSettings.h"
#include "platform/CHive.h"
#include "platform/CProfile.h"
#include "servers/CGroupTable.h"
#include "servers/GroupRecord.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/fuzz/ReplyReference.h"
#include "tests/support/NullRunPanes.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

using fuzz::ReferenceCode;
using fuzz::ReferenceNumber;

using fuzz::Check;

constexpr const char* kServer = "news.example";
constexpr const char* kUser = "fuzzer";
constexpr const char* kPassword = "secret";
constexpr int kGroups = 3;
constexpr size_t kMaxSteps = 200000;
const std::vector<uint32_t> kPending{17, 4, 4000000000u};

struct PromptHost : NullRunHost {
    bool confirm = false;
    bool LogonPrompt(const std::string&) override { return confirm; }
};

// What the run did to one group, and what the server told it.
struct GroupTrack {
    GroupRecord* record = nullptr;
    uint32_t last = 0; // as stored before the run
    std::vector<uint32_t> pending;
    bool asked = false;
    bool accepted = false;
    uint32_t first = 0;
    uint32_t rangeLast = 0;
    uint32_t walked = 0; // the last number of the range walk so far, 0 before it
    std::set<uint32_t> heads;
};

class HostileServer {
  public:
    HostileServer(std::vector<std::deque<std::string>> replies, std::vector<GroupTrack>& groups)
        : m_replies(std::move(replies)), m_groups(groups) {}

    std::deque<std::string> queue;
    std::vector<std::string> sent; // commands of the current step
    bool live = false;
    int made = 0;
    int gone = 0;
    size_t repliesSent = 0;

    void OnStart() {
        Check(!live, "a second connection started while the first is open");
        live = true;
        m_current = nullptr;
        NextReply();
    }
    void OnCommand(std::string_view command) {
        Check(live, "a command on a connection that is not open");
        Check(command.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos,
              "a command holds a line break or NUL");
        sent.emplace_back(command);
        NextReply();
    }
    void OnClose() {
        live = false;
        queue.clear();
    }
    size_t Replies() const { return m_replies.size(); }
    bool Exhausted() const { return repliesSent >= m_replies.size(); }

    // Called with the state the run was in before its step and is in after it.
    void CheckStep(RunState before, RunState after, const std::string& line) {
        if (before == RunState::GroupRequested && m_current != nullptr)
            TakeGroupReply(*m_current, line);
        Check(sent.size() <= 1, "the run sent more than one command in one step");
        for (const std::string& command : sent)
            CheckCommand(command, after);
        sent.clear();
    }

    // Steps that are no reply line (start, stop, errors) send nothing but a first command.
    void CheckQuietStep(RunState after) { CheckStep(RunState::Idle, after, std::string()); }

  private:
    void NextReply() {
        if (Exhausted())
            return;
        for (const std::string& line : m_replies[repliesSent])
            queue.push_back(line);
        ++repliesSent;
    }

    void TakeGroupReply(GroupTrack& group, std::string_view line) {
        std::vector<std::string_view> fields;
        for (size_t pos = 0; pos < line.size();) {
            const size_t end = std::min(line.find(' ', pos), line.size());
            if (end > pos)
                fields.push_back(line.substr(pos, end - pos));
            pos = end + 1;
        }
        group.accepted = !fields.empty() && ReferenceCode(fields[0]) == 211;
        group.first = fields.size() > 2 ? ReferenceNumber(fields[2]) : 0;
        group.rangeLast = fields.size() > 3 ? ReferenceNumber(fields[3]) : 0;
    }

    void CheckCommand(const std::string& command, RunState after) {
        if (command == "MODE READER" || command == std::string("AUTHINFO USER ") + kUser ||
            command == std::string("AUTHINFO PASS ") + kPassword)
            return;
        if (command.starts_with("GROUP "))
            return CheckGroup(command.substr(6));
        Check(m_current != nullptr, "an article command outside a group");
        GroupTrack& group = *m_current;
        if (command.starts_with("HEAD "))
            return CheckHead(group, Number(command.substr(5)), after);
        Check(command == "BODY" || (command.starts_with("BODY ") &&
                                    group.heads.count(Number(command.substr(5))) == 1),
              "a body asked for without its head");
    }

    void CheckGroup(std::string_view name) {
        const auto found = std::find_if(m_groups.begin(), m_groups.end(), [&](const GroupTrack& g) {
            return g.record->name == name;
        });
        Check(found != m_groups.end(), "GROUP for a group that is not subscribed");
        Check(!found->asked, "GROUP twice for one group");
        found->asked = true;
        m_current = &*found;
    }

    void CheckHead(GroupTrack& group, uint32_t number, RunState after) {
        Check(group.accepted, "HEAD in a group the server refused");
        group.heads.insert(number);
        if (after == RunState::PendingHeadRequested) {
            Check(std::find(group.pending.begin(), group.pending.end(), number) !=
                      group.pending.end(),
                  "HEAD of a pending article the group does not have");
            return;
        }
        Check(after == RunState::HeadRequested, "HEAD in a state that reads no head");
        Check(number >= 1 && number <= group.rangeLast && number > group.walked &&
                  number >= std::max(group.first, group.last),
              "HEAD outside the group's range, or not upwards");
        group.walked = number;
    }

    static uint32_t Number(std::string_view text) {
        Check(!text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos &&
                  text.size() <= 10,
              "an article number that is not one");
        return static_cast<uint32_t>(std::strtoul(std::string(text).c_str(), nullptr, 10));
    }

    std::vector<std::deque<std::string>> m_replies;
    std::vector<GroupTrack>& m_groups;
    GroupTrack* m_current = nullptr;
};

class HostileConnection : public INewsConnection {
  public:
    explicit HostileConnection(HostileServer& server) : m_server(server) { ++m_server.made; }
    ~HostileConnection() override { ++m_server.gone; }
    void Start() override { m_server.OnStart(); }
    void SendLine(std::string_view line) override { m_server.OnCommand(line); }
    void Close() override { m_server.OnClose(); }

  private:
    HostileServer& m_server;
};

std::vector<std::deque<std::string>> Replies(std::string_view text) {
    std::vector<std::deque<std::string>> replies(1);
    for (std::string& line : fuzz::SplitLines(text)) {
        if (line.empty()) {
            replies.emplace_back();
            continue;
        }
        replies.back().push_back(std::move(line));
    }
    return replies;
}

// What the server said decides what each group may hold afterwards. Catching up the current
// group may move its position back, to just past the last article the server has.
void CheckGroupAfter(const GroupTrack& group, bool catchUp, bool caughtUpGroup) {
    const GroupRecord& record = *group.record;
    if (!group.accepted) {
        Check(record.last == group.last && record.pending == group.pending,
              "a group the server never accepted changed");
        return;
    }
    if (catchUp) {
        Check(record.last == group.rangeLast, "catch-up stored another position than the last");
        return;
    }
    const uint64_t end = std::min<uint64_t>(uint64_t{group.rangeLast} + 1, UINT32_MAX);
    const uint64_t highest = std::max<uint64_t>({group.last, group.first, end, 1});
    Check((record.last >= group.last || caughtUpGroup) && record.last <= highest,
          "the stored position is outside what the walk could reach");
    for (const uint32_t number : record.pending)
        Check(group.heads.count(number) == 1 ||
                  std::find(group.pending.begin(), group.pending.end(), number) !=
                      group.pending.end(),
              "a pending number the run never saw");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3)
        return 0;
    const uint8_t switches = data[0];
    const bool catchUp = (switches & 2) != 0;
    const int inject = data[2] & 3;
    const std::string& root = fuzz::Folder();
    const std::string decode = root + "Decodes/";
    const std::string newsrc = root + "replies.newsrc";
    const size_t fdsBefore = fuzz::OpenDescriptors();

    std::vector<GroupTrack> groups;
    {
        CHive hive;
        CProfile profile(hive);
        const std::string section = std::string("Servers\\") + kServer;
        profile.WriteProfileString(section, "NEWSRC File", newsrc);
        profile.WriteProfileInt(section, "Login Required", switches & 1);
        // The server here answers one command at a time, whatever was asked: the run's own
        // flow, without commands sent ahead (FuzzRunBody plays those).
        profile.WriteProfileInt(section, "Pipeline Depth", 1);
        profile.WriteProfileString(section, "Login User", kUser);
        profile.WriteProfileString(section, "Login Password", kPassword);
        profile.WriteProfileInt(CSettings::kSection, "m_bBackupNewsrc", 0);
        for (const char* type : {"application", "image", "text"})
            profile.WriteProfileInt("Mime", type, 1);
        CSettings settings;
        settings.m_DecodeDir = decode;
        settings.m_uMinLines = 0;
        settings.m_bGroupDirs = (switches & 8) != 0;
        settings.m_bDeleteFails = (switches & 16) != 0;
        settings.m_bDecodeNoPartID = (switches & 32) != 0;
        settings.m_bDecodeNoLines = true;
        settings.m_bLog = (switches & 64) != 0;

        ServerTableList servers;
        servers.push_back(std::make_unique<CGroupTable>(profile, kServer));
        groups.resize(kGroups);
        for (int i = 0; i < kGroups; ++i) {
            auto record = std::make_unique<GroupRecord>();
            record->name = "alt.binaries.fuzz." + std::to_string(i);
            record->subscribed = i != 1; // the one in the middle is not
            record->last = (data[2] >> 2) * 1000u;
            if (i == 0 && (switches & 128) != 0)
                record->pending = kPending;
            groups[i].record = record.get();
            groups[i].last = record->last;
            groups[i].pending = record->pending;
            servers.back()->Append(std::move(record));
        }
        std::erase_if(groups, [](const GroupTrack& g) { return !g.record->subscribed; });
        std::vector<KillRule> kills{{0, "*spam*"}, {1, "*kill me*"}, {2, "*.exe"}};

        HostileServer server(
            Replies(std::string_view(reinterpret_cast<const char*>(data) + 3, size - 3)), groups);
        NullLogList log;
        NullArticleList articles;
        NullProgressPanel progress;
        PromptHost host;
        host.confirm = (switches & 4) != 0;
        CExtractionRun run(
            profile, servers, settings, kills,
            [&server](const std::string&, CSocketOwnerWnd&) {
                return std::make_unique<HostileConnection>(server);
            },
            log, articles, progress, host, root);
        run.SetClock([] { return std::time_t{1796586434}; });

        const size_t injectAt = server.Replies() * data[1] / 256;
        bool injected = inject == 0;
        run.StartOrStop(catchUp ? 1 : 0);
        server.CheckQuietStep(run.GetState());
        for (size_t steps = 0; run.IsRunning(); ++steps) {
            Check(steps < kMaxSteps, "the run does not come to an end");
            if (!injected && server.repliesSent > injectAt) {
                injected = true;
                if (inject == 1)
                    run.StartOrStop(0);
                else if (inject == 2)
                    run.OnConnectionError(CSocketOwnerWnd::kSocketNotification, 10054);
                else
                    run.CatchUpCurrentGroup();
                server.CheckQuietStep(run.GetState());
                continue;
            }
            if (server.queue.empty()) {
                // The server has nothing more to say: it drops the connection.
                Check(server.live, "the run waits on a connection that is closed");
                run.OnConnectionError(CSocketOwnerWnd::kSocketNotification, 10054);
                server.CheckQuietStep(run.GetState());
                Check(!run.IsRunning(), "the run waits for a reply to nothing");
                break;
            }
            const std::string line = std::move(server.queue.front());
            server.queue.pop_front();
            const RunState before = run.GetState();
            run.OnResponseLine(line);
            server.CheckStep(before, run.GetState(), line);
            run.OnIdle();
        }
        Check(!server.live && server.made == server.gone, "a connection is left open");
        for (const GroupTrack& group : groups)
            CheckGroupAfter(group, catchUp, inject == 3 && injected);
        // Checked while the run still exists: its destructor would close a forgotten file.
        Check(fuzz::OpenDescriptors() == fdsBefore, "a file descriptor is left open");
    }
    fuzz::CheckFolder(root, [&](const std::string& path) {
        const std::string name = path.substr(root.size());
        return path == newsrc || path + "/" == decode || path.starts_with(decode) ||
               (name.starts_with("Gleanwick.") && name.ends_with(".log"));
    });
    fuzz::EmptyFolder(root);
    return 0;
}

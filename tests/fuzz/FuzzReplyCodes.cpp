// Reply codes and GROUP replies: the greeting, the login replies, the MODE READER reply and the
// GROUP replies of a run all come from the input, one line each, and every command the run
// sends is checked against a model of the login and group steps that reads the codes with
// strtoll and the GROUP reply's fields by hand. After a 211 reply the run must ask for the
// group's pending articles (newest first) and then for the first article of its range; those
// are refused and the rest of the range is caught up, so the group's stored position shows
// how the reply's first and last numbers were read. A catch-up run stores the last at once.
//
// Input: two switch bytes, then reply lines split at '\n'.
//   byte 0: bit 0 login required, bit 1 catch-up run, bit 2 the logon prompt is confirmed,
//           bits 3-4 subscribed groups after the first (0 to 3), bit 5 the first group has
//           pending articles
//   byte 1: the groups' stored position, in thousands
// When the lines run out, the server drops the connection.
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

#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using fuzz::ReferenceCode;
using fuzz::ReferenceNumber;

using fuzz::Check;

constexpr const char* kServer = "news.example";
constexpr const char* kUser = "fuzzer";
constexpr const char* kPassword = "secret";
const std::vector<uint32_t> kPending{17, 4, 4000000000u};

struct GroupReply {
    bool accepted = false;
    uint32_t first = 0;
    uint32_t last = 0;
};

// "211 count first last name": fields separated by runs of spaces.
GroupReply ReferenceGroupReply(std::string_view line) {
    std::vector<std::string_view> fields;
    for (size_t pos = 0; pos < line.size();) {
        const size_t end = std::min(line.find(' ', pos), line.size());
        if (end > pos)
            fields.push_back(line.substr(pos, end - pos));
        pos = end + 1;
    }
    GroupReply reply;
    reply.accepted = !fields.empty() && ReferenceCode(fields[0]) == 211;
    reply.first = fields.size() > 2 ? ReferenceNumber(fields[2]) : 0;
    reply.last = fields.size() > 3 ? ReferenceNumber(fields[3]) : 0;
    return reply;
}

struct PromptHost : NullRunHost {
    bool confirm = false;
    bool LogonPrompt(const std::string&) override { return confirm; }
};

// What the connection saw: commands, and whether it is open.
struct Wire {
    std::deque<std::string> commands;
    int starts = 0;
    bool live = false;
    int made = 0;
    int gone = 0;
};

class WireConnection : public INewsConnection {
  public:
    explicit WireConnection(Wire& wire) : m_wire(wire) { ++m_wire.made; }
    ~WireConnection() override { ++m_wire.gone; }
    void Start() override {
        Check(!m_wire.live, "a connection started twice");
        m_wire.live = true;
        ++m_wire.starts;
    }
    void SendLine(std::string_view line) override {
        Check(m_wire.live, "a command on a closed connection");
        m_wire.commands.emplace_back(line);
    }
    void Close() override { m_wire.live = false; }

  private:
    Wire& m_wire;
};

struct Group {
    GroupRecord* record;
    uint32_t last;
    std::vector<uint32_t> pending;
};

class Session {
  public:
    Session(CExtractionRun& run, Wire& wire, std::vector<Group>& groups,
            std::deque<std::string> lines, bool login, bool catchUp, bool confirm)
        : m_run(run), m_wire(wire), m_groups(groups), m_lines(std::move(lines)), m_login(login),
          m_catchUp(catchUp), m_confirm(confirm) {}

    void Run() {
        m_run.StartOrStop(m_catchUp ? 1 : 0);
        while (Connect()) {
        }
        Check(!m_run.IsRunning(), "the run goes on after its server failed");
        Check(!m_wire.live && m_wire.made == m_wire.gone, "a connection is left open");
        Check(m_wire.commands.empty(), "a command nobody expected");
    }

  private:
    // One connection from its greeting on; true when the run logs on again.
    bool Connect() {
        Check(m_wire.live && m_wire.commands.empty(), "no connection where one was expected");
        int code = 0;
        if (!Reply(code))
            return false;
        if (code != 200 && code != 201)
            return Failed();
        if (m_login) {
            Expect(std::string("AUTHINFO USER ") + kUser);
            if (!Reply(code))
                return false;
            if (code != 381)
                return Failed();
            Expect(std::string("AUTHINFO PASS ") + kPassword);
            if (!Reply(code))
                return false;
            if (code == 502)
                return Relogin();
            if (code != 200 && code != 281)
                return Failed();
        }
        Expect("MODE READER");
        if (!Reply(code))
            return false;
        if (code == 480)
            return Relogin();
        if (code != 200 && code != 201 && code != 500)
            return Failed();
        for (Group& group : m_groups)
            if (!GroupSteps(group))
                return false;
        return Failed(); // the run is complete: the connection closes
    }

    bool GroupSteps(Group& group) {
        Expect("GROUP " + group.record->name);
        if (m_lines.empty())
            return Drop();
        const std::string line = Next();
        const GroupReply reply = ReferenceGroupReply(line);
        m_run.OnResponseLine(line);
        if (!reply.accepted) {
            Check(group.record->last == group.last, "a refused group lost its position");
            return true;
        }
        if (m_catchUp) {
            Check(group.record->last == reply.last, "catch-up stored another last number");
            return true;
        }
        for (auto pending = group.pending.rbegin(); pending != group.pending.rend(); ++pending) {
            Expect("HEAD " + std::to_string(*pending));
            m_run.OnResponseLine("423 no such article");
        }
        const uint32_t start = std::max({reply.first, group.last, 1u});
        uint32_t stored = start; // an empty range: the walk is over where it would begin
        if (start <= reply.last) {
            Expect("HEAD " + std::to_string(start));
            m_run.CatchUpCurrentGroup();
            m_run.OnResponseLine("423 no such article");
            stored =
                static_cast<uint32_t>(std::min<uint64_t>(uint64_t{reply.last} + 1, UINT32_MAX));
        }
        Check(group.record->last == stored, "the group's range was read wrongly");
        Check(group.record->pending.empty(), "refused pending articles stayed pending");
        return true;
    }

    bool Reply(int& code) {
        if (m_lines.empty())
            return Drop();
        const std::string line = Next();
        code = ReferenceCode(line);
        m_run.OnResponseLine(line);
        return true;
    }

    std::string Next() {
        std::string line = std::move(m_lines.front());
        m_lines.pop_front();
        return line;
    }

    void Expect(const std::string& command) {
        Check(!m_wire.commands.empty() && m_wire.commands.front() == command,
              "the run sent another command than the replies call for");
        m_wire.commands.pop_front();
    }

    // A refused login or a finished run: the connection is closed, nothing more is sent.
    bool Failed() {
        Check(!m_wire.live, "the connection stays open after the run is through with it");
        return false;
    }

    // The run closes the connection and asks for the logon again; confirmed, it starts over.
    bool Relogin() { return m_confirm || Failed(); }

    // The replies ran out: the server drops the connection.
    bool Drop() {
        m_run.OnConnectionError(CSocketOwnerWnd::kSocketNotification, 10054);
        return false;
    }

    CExtractionRun& m_run;
    Wire& m_wire;
    std::vector<Group>& m_groups;
    std::deque<std::string> m_lines;
    bool m_login;
    bool m_catchUp;
    bool m_confirm;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const uint8_t switches = data[0];
    const std::string& folder = fuzz::Folder();
    std::deque<std::string> lines;
    for (std::string& line :
         fuzz::SplitLines(std::string_view(reinterpret_cast<const char*>(data) + 2, size - 2)))
        lines.push_back(std::move(line));

    CHive hive;
    CProfile profile(hive);
    const std::string section = std::string("Servers\\") + kServer;
    profile.WriteProfileString(section, "NEWSRC File", folder + "codes.newsrc");
    profile.WriteProfileInt(section, "Login Required", switches & 1);
    profile.WriteProfileString(section, "Login User", kUser);
    profile.WriteProfileString(section, "Login Password", kPassword);
    profile.WriteProfileInt(CSettings::kSection, "m_bBackupNewsrc", 0);
    CSettings settings;
    settings.m_DecodeDir = folder + "Decodes/";

    ServerTableList servers;
    servers.push_back(std::make_unique<CGroupTable>(profile, kServer));
    std::vector<Group> groups;
    const int count = 1 + ((switches >> 3) & 3);
    for (int i = 0; i < count; ++i) {
        auto record = std::make_unique<GroupRecord>();
        record->name = "alt.fuzz." + std::to_string(i);
        record->subscribed = true;
        record->last = data[1] * 1000u;
        if (i == 0 && (switches & 32) != 0)
            record->pending = kPending;
        groups.push_back(Group{record.get(), record->last, record->pending});
        servers.back()->Append(std::move(record));
        // An unsubscribed group between the others is passed over.
        auto skipped = std::make_unique<GroupRecord>();
        skipped->name = "alt.fuzz." + std::to_string(i) + ".off";
        servers.back()->Append(std::move(skipped));
    }

    Wire wire;
    std::vector<KillRule> kills;
    NullLogList log;
    NullArticleList articles;
    NullProgressPanel progress;
    PromptHost host;
    host.confirm = (switches & 4) != 0;
    CExtractionRun run(
        profile, servers, settings, kills,
        [&wire](const std::string&, CSocketOwnerWnd&) {
            return std::make_unique<WireConnection>(wire);
        },
        log, articles, progress, host, folder);
    run.SetClock([] { return std::time_t{1796586434}; });
    Session(run, wire, groups, std::move(lines), (switches & 1) != 0, (switches & 2) != 0,
            host.confirm)
        .Run();
    return 0;
}

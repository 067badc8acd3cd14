// Whole extraction runs against a news server that answers from the input: the body-line
// handlers (uudecoding, yEnc, MIME parts, multipart sets) with stops and connection errors
// anywhere.
//
// Input: three switch bytes, then text split into lines at '\n' ('\r' stripped). The lines up
// to the first empty one are extra header lines of the HEAD replies, the rest is the body.
//   byte 0: bits 0-1 article kind (single article, MIME article named in its headers, set of
//           two parts, set of three parts), bit 2 group folders, bit 3 delete failed decodes,
//           bits 4-5 what happens at the injection point (nothing, a stop, a connection error),
//           bit 6 subjects as yEnc posts are named ("name" yEnc (n/m))
//   byte 1: the injection point, as a fraction of the lines the server sends
//   byte 2: where the body is cut into parts, as a fraction of its lines
// After each input: the run is idle, every connection it made is gone, no file descriptor is
// left open, and nothing was written outside the decode folder but the group table's file.

#include <cstdlib>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/CExtractionRun.h"
#include "engine/IArticleList.h"
#include "engine/ILogList.h"
#include "engine/IProgressPanel.h"
#include "engine/IRunHost.h"
#include "options/CSettings.h"
#include "platform/CHive.h"
#include "platform/CProfile.h"
#include "servers/CGroupTable.h"
#include "servers/GroupRecord.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/support/NullRunPanes.h"

namespace {

using fuzz::Violation;

constexpr const char* kServer = "news.example";
constexpr const char* kGroup = "alt.binaries.fuzz";
// A run answers every reply with at most one command; far more lines than the input holds
// means the run keeps asking for the same thing.
constexpr size_t kMaxLinesFed = 200000;

struct Article {
    std::vector<std::string> headers;
    std::vector<std::string> body;
};

// A server that queues the reply to each command as it arrives, as a real one would send it.
class FuzzServer {
  public:
    std::map<uint32_t, Article> articles;
    std::deque<std::string> replies;
    bool live = false;
    int made = 0;
    int gone = 0;

    void OnStart() {
        if (live)
            Violation("a second connection started while the first is open");
        live = true;
        replies.push_back(std::string("200 ") + kServer + " ready");
    }
    void OnCommand(std::string_view command) {
        if (!live)
            Violation("command on a connection that is not open");
        if (command == "MODE READER")
            return Reply("200 reader");
        if (command.starts_with("GROUP ")) {
            const std::string count = std::to_string(articles.size());
            return Reply("211 " + count + " 1 " + count + " " + std::string(command.substr(6)));
        }
        if (command.starts_with("HEAD "))
            return Send(Number(command.substr(5)), "221", true);
        if (command == "BODY")
            return Send(m_current, "222", false);
        if (command.starts_with("BODY "))
            return Send(Number(command.substr(5)), "222", false);
        Reply("500 what?");
    }
    void OnClose() {
        live = false;
        replies.clear();
    }

  private:
    void Reply(std::string line) { replies.push_back(std::move(line)); }
    static uint32_t Number(std::string_view text) {
        return static_cast<uint32_t>(std::strtoul(std::string(text).c_str(), nullptr, 10));
    }
    void Send(uint32_t number, const char* status, bool head) {
        const auto found = articles.find(number);
        if (found == articles.end())
            return Reply("423 no such article");
        m_current = number;
        Reply(std::string(status) + " " + std::to_string(number) + " <id> follows");
        for (const std::string& line : head ? found->second.headers : found->second.body)
            Reply(!line.empty() && line[0] == '.' ? "." + line : line);
        Reply(".");
    }

    uint32_t m_current = 0;
};

class FuzzConnection : public INewsConnection {
  public:
    explicit FuzzConnection(FuzzServer& server) : m_server(server) { ++m_server.made; }
    ~FuzzConnection() override { ++m_server.gone; }
    void Start() override { m_server.OnStart(); }
    void SendLine(std::string_view line) override { m_server.OnCommand(line); }
    void Close() override { m_server.OnClose(); }

  private:
    FuzzServer& m_server;
};

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t end = std::min(text.find('\n', pos), text.size());
        std::string line(text.substr(pos, end - pos));
        std::erase(line, '\r');
        lines.push_back(std::move(line));
        pos = end + 1;
    }
    return lines;
}

std::vector<std::string> FixedHeaders(uint32_t number, const std::string& subject, size_t lines) {
    return {"From: poster@example.invalid", "Subject: " + subject,
            "Message-ID: <" + std::to_string(number) + "@example.invalid>",
            "Lines: " + std::to_string(lines)};
}

// The articles of the input: one, or the body cut into a set of two or three parts.
void MakeArticles(FuzzServer& server, int kind, bool yencSubjects, uint8_t cut,
                  const std::vector<std::string>& extraHeaders,
                  const std::vector<std::string>& body) {
    if (kind < 2) {
        Article article{FixedHeaders(1, kind == 0 ? "fuzz single" : "fuzz mime", body.size()),
                        body};
        if (kind == 1)
            article.headers.push_back("Content-Type: application/octet-stream; name=\"named.bin\"");
        article.headers.insert(article.headers.end(), extraHeaders.begin(), extraHeaders.end());
        server.articles[1] = std::move(article);
        return;
    }
    const size_t parts = kind == 2 ? 2 : 3;
    // Cut points: the first at the fraction `cut`, the third part (if any) takes the last
    // quarter of what is left.
    std::vector<size_t> bounds{0, body.size() * cut / 256};
    if (parts == 3)
        bounds.push_back(bounds[1] + (body.size() - bounds[1]) * 3 / 4);
    bounds.push_back(body.size());
    for (size_t part = 1; part <= parts; ++part) {
        const auto number = static_cast<uint32_t>(part);
        Article article{extraHeaders,
                        {body.begin() + static_cast<long>(bounds[part - 1]),
                         body.begin() + static_cast<long>(bounds[part])}};
        const std::string counter = "(" + std::to_string(part) + "/" + std::to_string(parts) + ")";
        const std::string subject =
            yencSubjects ? "[1/1] - \"fuzz.bin\" yEnc " + counter : "fuzz set " + counter;
        for (std::string& header : FixedHeaders(number, subject, article.body.size()))
            article.headers.push_back(std::move(header));
        server.articles[number] = std::move(article);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3)
        return 0;
    const std::string& root = fuzz::Folder();
    const std::string decode = root + "Decodes/";
    const uint8_t switches = data[0];
    const int kind = switches & 3;
    const int inject = (switches >> 4) & 3; // 1 stop, 2 connection error
    std::vector<std::string> lines =
        SplitLines(std::string_view(reinterpret_cast<const char*>(data) + 3, size - 3));
    const auto blank = std::find(lines.begin(), lines.end(), std::string());
    const std::vector<std::string> extraHeaders(lines.begin(), blank);
    const std::vector<std::string> body(blank == lines.end() ? blank : blank + 1, lines.end());

    const size_t fdsBefore = fuzz::OpenDescriptors();
    FuzzServer server;
    MakeArticles(server, kind, (switches & 64) != 0, data[2], extraHeaders, body);
    std::string newsrc;
    {
        CHive hive;
        for (const char* type : {"application", "image", "text"})
            hive.SetDword("Software\\Hollowfen\\Gleanwick\\Mime", type, 1);
        CProfile profile(hive);
        CSettings settings;
        settings.m_DecodeDir = decode;
        settings.m_uMinLines = 0;
        settings.m_bGroupDirs = (switches & 4) != 0;
        settings.m_bDeleteFails = (switches & 8) != 0;
        ServerTableList servers;
        servers.push_back(std::make_unique<CGroupTable>(profile, kServer));
        auto group = std::make_unique<GroupRecord>();
        group->name = kGroup;
        group->subscribed = true;
        servers.back()->Append(std::move(group));
        newsrc = servers.back()->GetNewsrcPath();
        std::vector<KillRule> kills;
        NullLogList log;
        NullArticleList articleList;
        NullProgressPanel progress;
        NullRunHost host;
        CExtractionRun run(
            profile, servers, settings, kills,
            [&server](const std::string&, CSocketOwnerWnd&) {
                return std::make_unique<FuzzConnection>(server);
            },
            log, articleList, progress, host, root);
        run.SetClock([] { return std::time_t{1796586434}; });

        size_t estimate = 4;
        for (const auto& [number, article] : server.articles)
            estimate += article.headers.size() + article.body.size() + 4;
        const size_t injectAt = estimate * data[1] / 256;

        run.StartOrStop(0);
        size_t fed = 0;
        while (!server.replies.empty() && run.IsRunning()) {
            if (++fed > kMaxLinesFed)
                Violation("the run does not come to an end");
            if (fed == injectAt && inject == 1)
                run.StartOrStop(0);
            if (fed == injectAt && inject == 2)
                run.OnConnectionError(CSocketOwnerWnd::kSocketNotification, 10054);
            if (!server.live || !run.IsRunning())
                break;
            std::string line = std::move(server.replies.front());
            server.replies.pop_front();
            run.OnResponseLine(line);
        }
        if (run.IsRunning())
            Violation("the run waits for a reply to nothing");
        if (server.live || server.made != server.gone)
            Violation("a connection is left open after the run");
        // Checked while the run still exists: its destructor would close a forgotten file.
        if (fuzz::OpenDescriptors() != fdsBefore)
            Violation("a file descriptor is left open");
    }
    // Nothing is written outside the decode folder but the group table's file.
    fuzz::CheckFolder(root, [&](const std::string& path) {
        return path == newsrc || path + "/" == decode || path.starts_with(decode);
    });
    fuzz::EmptyFolder(root);
    return 0;
}

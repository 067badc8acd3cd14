// The run with commands in flight: the same corpus played at depth 1 (one command, then its
// reply) and deeper must give the same files, log, article list and group records, whatever
// the server does with the commands sent ahead; and the pipeline between the run and the
// connection must drop what the run never asks for.
#include "RunTestSupport.h"
#include "engine/CCommandPipeline.h"
#include "servers/CServerRecord.h"
#include "support/YencEncoder.h"

#include <algorithm>
#include <deque>
#include <iterator>
#include <map>
#include <set>

#include <strings.h>

using ::testing::ElementsAre;

namespace {

struct CorpusArticle {
    std::vector<std::string> headers, body;
};

// A server that queues the reply to every command as it arrives, as a real one does, so that
// commands sent ahead are answered in order. Articles by group and number; groups it does
// not know are refused. Every connection has its own queue and group; Play hands out their
// replies in turns of a few lines each, so that replies on different connections arrive
// interleaved.
class CorpusServer {
  public:
    std::map<std::string, std::map<uint32_t, CorpusArticle>> groups;
    // Every command of every connection, and the HEADs and BODYs of each connection.
    std::vector<std::string> commands;
    std::map<size_t, std::vector<std::string>> articleCommands;
    std::map<size_t, std::vector<std::string>> transcripts;
    // The numbers asked HEAD for, and the ranges asked XOVER for, by group.
    std::map<std::string, std::multiset<uint32_t>> heads;
    std::map<std::string, std::vector<std::string>> blocks;
    // Runs after each line handed to a connection's owner (a stop, an error).
    std::function<void(size_t lines)> afterLine;
    // The greeting of the connection opened as the index-th (0 the first).
    std::function<std::string(size_t index)> greeting = [](size_t) {
        return std::string("200 corpus ready");
    };
    size_t opened = 0;
    size_t mostOpen = 0;
    // Connections opened when the first connection selected its first group.
    size_t openedAtFirstGroup = 0;
    // XOVERs that came while a GROUP's reply was still to be handed over.
    size_t blocksBeforeGroupReply = 0;
    // What LIST OVERVIEW.FMT and XOVER give: nothing (the commands are unknown), the usual
    // fields, or those with Content-Type and Lines in full; XOVER may also be refused.
    enum class Overview { None, Standard, Full, Refused } overview = Overview::None;
    // The size XOVER gives for every article.
    std::string overviewBytes = "100";

    NewsConnectionFactory Factory() {
        return [this](const std::string&, CSocketOwnerWnd& owner) {
            return std::make_unique<Connection>(*this, owner);
        };
    }
    void Play() {
        size_t lines = 0, turn = 0;
        uint32_t random = 12345;
        m_firstHanded = m_groupReplyAt = 0;
        m_groupAsked = false;
        for (;;) {
            Connection* connection = NextWithReplies(turn);
            if (connection == nullptr)
                return;
            random = random * 1103515245u + 12345u;
            const size_t id = connection->id, burst = 1 + (random >> 16) % 6;
            for (size_t i = 0; i < burst && Open(id) && !connection->replies.empty(); ++i) {
                std::string line = std::move(connection->replies.front());
                connection->replies.pop_front();
                m_firstHanded += connection->index == 0 ? 1 : 0;
                connection->owner.OnResponseLine(line);
                if (afterLine)
                    afterLine(++lines);
            }
        }
    }
    size_t Queued() const {
        size_t queued = 0;
        for (const auto& [id, connection] : m_open)
            queued += connection->replies.size();
        return queued;
    }
    // The connection opened as the index-th reports an error, as a broken socket would.
    bool Break(size_t index) {
        for (const auto& [id, connection] : m_open)
            if (connection->index == index && connection->live) {
                connection->owner.OnConnectionError(CSocketOwnerWnd::kSocketNotification, 10054);
                return true;
            }
        return false;
    }

  private:
    struct Connection : INewsConnection {
        Connection(CorpusServer& server, CSocketOwnerWnd& owner)
            : server(server), owner(owner), id(++server.m_ids) {
            server.m_open[id] = this;
        }
        ~Connection() override { server.m_open.erase(id); }
        void Start() override {
            index = server.opened++;
            live = true;
            replies.assign({server.greeting(index)});
            server.mostOpen = std::max(server.mostOpen, server.LiveCount());
        }
        void SendLine(std::string_view line) override { server.Answer(*this, std::string(line)); }
        void Close() override {
            live = false;
            replies.clear();
        }
        CorpusServer& server;
        CSocketOwnerWnd& owner;
        const size_t id;
        size_t index = 0;
        bool live = false;
        std::deque<std::string> replies;
        std::map<uint32_t, CorpusArticle>* group = nullptr;
        std::string groupName;
        uint32_t current = 0;
    };

    bool Open(size_t id) const { return m_open.count(id) != 0 && m_open.at(id)->live; }
    size_t LiveCount() const {
        return static_cast<size_t>(std::count_if(
            m_open.begin(), m_open.end(), [](const auto& open) { return open.second->live; }));
    }
    Connection* NextWithReplies(size_t& turn) {
        std::vector<Connection*> ready;
        for (const auto& [id, connection] : m_open)
            if (connection->live && !connection->replies.empty())
                ready.push_back(connection);
        return ready.empty() ? nullptr : ready[turn++ % ready.size()];
    }

    void Answer(Connection& connection, const std::string& command) {
        commands.push_back(command);
        transcripts[connection.index].push_back(command);
        if (command.starts_with("XOVER ") && m_groupAsked && m_firstHanded <= m_groupReplyAt)
            ++blocksBeforeGroupReply;
        if (command.starts_with("GROUP ") && connection.index == 0) {
            m_groupAsked = true;
            m_groupReplyAt = m_firstHanded + connection.replies.size();
        }
        if (command == "MODE READER")
            return Reply(connection, {"200 reader"});
        if (command.starts_with("AUTHINFO USER "))
            return Reply(connection, {"381 more"});
        if (command.starts_with("AUTHINFO PASS "))
            return Reply(connection, {"281 welcome"});
        if (command == "LIST OVERVIEW.FMT" && overview != Overview::None)
            return Reply(connection, OverviewFormat());
        if (command.starts_with("XOVER ") && overview != Overview::None)
            return Reply(connection, OverviewBlock(connection, command.substr(6)));
        if (command.starts_with("GROUP ")) {
            if (connection.index == 0 && openedAtFirstGroup == 0)
                openedAtFirstGroup = opened;
            const auto group = groups.find(command.substr(6));
            if (group == groups.end())
                return Reply(connection, {"411 no such group"});
            connection.group = &group->second;
            connection.groupName = group->first;
            const uint32_t last = group->second.empty() ? 0 : group->second.rbegin()->first;
            return Reply(connection, {"211 " + std::to_string(group->second.size()) + " 1 " +
                                      std::to_string(last) + " " + group->first});
        }
        const bool head = command.starts_with("HEAD ");
        if (head || command.starts_with("BODY ")) {
            connection.current = static_cast<uint32_t>(std::stoul(command.substr(5)));
        } else if (command != "BODY") {
            return Reply(connection, {"500 what?"});
        }
        articleCommands[connection.index].push_back(command);
        if (head)
            heads[connection.groupName].insert(connection.current);
        auto* group = connection.group;
        const auto article = group ? group->find(connection.current) : decltype(group->end()){};
        if (group == nullptr || article == group->end())
            return Reply(connection, {"423 no such article"});
        const std::vector<std::string>& lines =
            head ? article->second.headers : article->second.body;
        if (!head && lines.empty())
            return Reply(connection, {"430 body gone"});
        Reply(connection,
              wire::Block((head ? "221 " : "222 ") + std::to_string(connection.current) + " <id>",
                          lines));
    }
    std::vector<std::string> OverviewFormat() const {
        std::vector<std::string> format{"Subject:",    "From:",  "Date:",  "Message-ID:",
                                        "References:", ":bytes", ":lines", "Xref:full"};
        if (overview != Overview::Standard)
            format.insert(format.end(), {"Content-Type:full", "Lines:full"});
        return wire::Block("215 order of fields", format);
    }
    // As a server keeps it: each header unfolded, its tabs turned into blanks.
    static std::string HeaderValue(const CorpusArticle& article, std::string_view name) {
        std::string value;
        bool in = false;
        for (const std::string& line : article.headers) {
            const bool continued = !line.empty() && (line[0] == ' ' || line[0] == '\t');
            if (in && continued) {
                value += line;
                continue;
            }
            if (in)
                break;
            in = line.size() > name.size() && line[name.size()] == ':' &&
                 strncasecmp(line.c_str(), name.data(), name.size()) == 0;
            if (in)
                value = line.substr(std::min(line.size(), name.size() + 2));
        }
        std::replace(value.begin(), value.end(), '\t', ' ');
        return value;
    }
    std::vector<std::string> OverviewBlock(Connection& connection, const std::string& range) {
        blocks[connection.groupName].push_back(range);
        if (overview == Overview::Refused || connection.group == nullptr)
            return {"502 no overview for you"};
        articleCommands[connection.index].push_back("XOVER " + range);
        const uint32_t first = static_cast<uint32_t>(std::stoul(range));
        const uint32_t last = static_cast<uint32_t>(std::stoul(range.substr(range.find('-') + 1)));
        std::vector<std::string> lines;
        for (auto it = connection.group->lower_bound(first);
             it != connection.group->end() && it->first <= last; ++it) {
            const CorpusArticle& article = it->second;
            std::string line = std::to_string(it->first) + "\t" + HeaderValue(article, "Subject") +
                               "\t" + HeaderValue(article, "From") + "\tdate\t<id>\t\t" +
                               overviewBytes + "\t" + std::to_string(article.body.size()) +
                               "\tXref: corpus";
            if (overview == Overview::Full) {
                const std::string type = HeaderValue(article, "Content-Type"),
                                  count = HeaderValue(article, "Lines");
                line += "\t" + (type.empty() ? "" : "Content-Type: " + type) + "\t" +
                        (count.empty() ? "" : "Lines: " + count);
            }
            lines.push_back(line);
        }
        return wire::Block("224 overview follows", lines);
    }
    static void Reply(Connection& connection, const std::vector<std::string>& lines) {
        connection.replies.insert(connection.replies.end(), lines.begin(), lines.end());
    }

    std::map<size_t, Connection*> m_open;
    size_t m_ids = 0;
    // Lines handed over on the first connection, and where among them its last GROUP's reply is.
    size_t m_firstHanded = 0;
    size_t m_groupReplyAt = 0;
    bool m_groupAsked = false;
};

CorpusArticle Article(const std::string& subject, std::vector<std::string> body,
                      std::vector<std::string> extra = {}) {
    CorpusArticle article{{"From: poster@example.com", "Subject: " + subject,
                           "Lines: " + std::to_string(body.size())},
                          std::move(body)};
    article.headers.insert(article.headers.end(), extra.begin(), extra.end());
    return article;
}

// Parts of a yEnc set of `count` parts.
std::vector<std::vector<std::string>> YencSet(const std::string& name, const std::string& data,
                                              int count) {
    std::vector<std::vector<std::string>> parts;
    const size_t each = (data.size() + count - 1) / count;
    for (int part = 1; part <= count; ++part) {
        const size_t begin = (part - 1) * each, end = std::min(data.size(), begin + each);
        parts.push_back(YencPartBody(name, data, part, count, begin + 1, end));
    }
    return parts;
}

// Everything a run leaves behind that a user or the next run sees.
struct Outcome {
    std::vector<std::string> log, rows;
    std::map<std::string, std::string> files;
    std::vector<std::string> groups; // "name last pending..."
    bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Outcome& outcome) {
    for (const std::string& line : outcome.log)
        out << "\n  log: " << line;
    for (const std::string& group : outcome.groups)
        out << "\n  group: " << group;
    for (const auto& [name, bytes] : outcome.files)
        out << "\n  file: " << name << " " << bytes.size();
    return out;
}

class RunPipelineTest : public RunTest {
  protected:
    RunPipelineTest() {
        settings.m_uMinLines = 1;
        settings.m_bDecodeNoLines = true;
        kills.push_back({0, "*@spam.example*"});
        BuildCorpus();
    }

    void BuildCorpus() {
        auto& one = corpus.groups["alt.one"];
        const std::string a = wire::Bytes(900, 1), b = wire::Bytes(5000, 2),
                          c = wire::Bytes(7000, 3);
        one[1] = Article("hello", {"just text"});
        one[2] = Article("a.bin", wire::Uuencode("a.bin", a));
        one[3] = Article("\"b.bin\" yEnc (1/1)", YencSingleBody("b.bin", b));
        const auto cParts = YencSet("c.bin", c, 3);
        one[4] = Article("\"c.bin\" yEnc (3/3)", cParts[2]);
        one[6] = Article("\"c.bin\" yEnc (1/3)", cParts[0]);
        one[7] = Article("spam.bin", wire::Uuencode("spam.bin", a));
        one[7].headers[0] = "From: bot@spam.example";
        one[8] = Article("Re: a.bin", wire::Uuencode("re.bin", a));
        one[9] = Article("\"c.bin\" yEnc (2/3)", cParts[1]);
        one[10] = Article("gone.bin", {}); // HEAD answers, BODY is refused
        one[11] = Article("\"d.bin\" yEnc (1/2)", YencSet("d.bin", c, 2)[0]); // stays pending
        one[12] = Article("pic", {"QUJD"}, {"Content-Type: image/png; name=\"pic.png\""});
        for (uint32_t n = 13; n <= 60; ++n)
            one[n] = Article("text " + std::to_string(n), {"more text"});
        one[61] = Article("e.bin", wire::Uuencode("e.bin", b));
        AddGroup(*table, "alt.one", 0);

        // Read before: pending 3 and 5 (a set's part 1, and an expired one), the walk from 4.
        auto& two = corpus.groups["alt.two"];
        const std::string f = wire::Bytes(3000, 4);
        const auto fParts = YencSet("f.bin", f, 2);
        two[3] = Article("\"f.bin\" yEnc (1/2)", fParts[0]);
        for (uint32_t n = 4; n <= 9; ++n)
            two[n] = Article("text", {"x"});
        two[10] = Article("\"f.bin\" yEnc (2/2)", fParts[1]);
        AddGroup(*table, "alt.two", 4, {5, 3});
        AddGroup(*table, "alt.missing", 0);
        auto& three = corpus.groups["alt.three"];
        for (uint32_t n = 1; n <= 30; ++n)
            three[n] = Article("t", {"x"});
        three[31] = Article("g.bin", wire::Uuencode("g.bin", f));
        AddGroup(*table, "alt.three", 0);

        // Complete sets one after the other, one passed over for its file name after its
        // first part: what was sent ahead for the rest of it is dropped.
        auto& sets = corpus.groups["alt.sets"];
        const auto hParts = YencSet("h.bin", a, 2), iParts = YencSet("i.bin", b, 3),
                   jParts = YencSet("j.bin", c, 2);
        sets[1] = Article("\"h.bin\" yEnc (2/2)", hParts[1]);
        sets[2] = Article("\"i.bin\" yEnc (1/3)", iParts[0]);
        sets[3] = Article("\"j.bin\" yEnc (1/2)", jParts[0]);
        sets[4] = Article("\"h.bin\" yEnc (1/2)", hParts[0]);
        sets[5] = Article("\"i.bin\" yEnc (3/3)", iParts[2]);
        sets[6] = Article("\"j.bin\" yEnc (2/2)", jParts[1]);
        sets[7] = Article("\"i.bin\" yEnc (2/3)", iParts[1]);
        AddGroup(*table, "alt.sets", 0);
        kills.push_back({2, "i.bin"});
    }

    Outcome Play(uint32_t depth, const std::function<void(CExtractionRun&, size_t)>& after = {},
                 uint32_t connections = 1, int mode = 0) {
        profile.WriteProfileInt("Servers\\news.example", "Pipeline Depth", depth);
        profile.WriteProfileInt("Servers\\news.example", "Connections", connections);
        corpus.opened = corpus.mostOpen = corpus.openedAtFirstGroup = 0;
        corpus.blocksBeforeGroupReply = 0;
        corpus.transcripts.clear();
        corpus.articleCommands.clear();
        corpus.heads.clear();
        corpus.blocks.clear();
        corpus.commands.clear();
        std::error_code ignored;
        std::filesystem::remove_all(settings.m_DecodeDir, ignored);
        for (size_t i = 0; i < table->GetCount(); ++i)
            table->GetAt(i) = saved[i];
        articles.rows.clear();
        CExtractionRun pipelined(profile, servers, settings, kills, corpus.Factory(), log, articles,
                                 progress, host, m_dir + "/");
        pipelined.SetClock([this] { return now; });
        corpus.afterLine = [&](size_t lines) {
            if (after)
                after(pipelined, lines);
        };
        pipelined.StartOrStop(mode);
        corpus.Play();
        EXPECT_FALSE(pipelined.IsRunning());
        Outcome outcome{log.lines, {}, {}, {}};
        for (const auto& row : articles.rows)
            outcome.rows.push_back(row.fileName + " / " + row.subject);
        for (const auto& entry :
             std::filesystem::recursive_directory_iterator(settings.m_DecodeDir, ignored))
            if (entry.is_regular_file())
                outcome.files[entry.path().filename().string()] = ReadFile(entry.path().string());
        for (size_t i = 0; i < table->GetCount(); ++i) {
            const GroupRecord& group = table->GetAt(i);
            std::string text = group.name + " " + std::to_string(group.last);
            for (uint32_t number : group.pending)
                text += " " + std::to_string(number);
            outcome.groups.push_back(text);
        }
        return outcome;
    }
    void SaveGroups() {
        saved.clear();
        for (size_t i = 0; i < table->GetCount(); ++i)
            saved.push_back(table->GetAt(i));
    }

    CorpusServer corpus;
    std::vector<GroupRecord> saved;
};

using Overview = CorpusServer::Overview;

} // namespace

TEST_F(RunPipelineTest, EveryDepthGivesTheOutcomeOfOneCommandAtATime) {
    SaveGroups();
    const Outcome alone = Play(1);
    const size_t commandsAlone = corpus.commands.size();
    ASSERT_EQ(alone.files.size(), 9u) << alone;
    EXPECT_EQ(alone.groups,
              (std::vector<std::string>{"alt.one 62 11", "alt.two 11", "alt.missing 0",
                                        "alt.three 32", "alt.sets 8"}));
    EXPECT_NE(
        std::find(alone.log.begin(), alone.log.end(), "Killing message with file name of: i.bin"),
        alone.log.end());
    for (const uint32_t depth : {2u, 3u, 16u, 64u, 256u}) {
        corpus.commands.clear();
        EXPECT_EQ(Play(depth), alone) << "depth " << depth;
        // Bare BODY commands became numbered ones; nothing was sent twice, and nothing in vain
        // but the later parts of the set passed over (two at most) when they went ahead, and
        // the question for an overview this server does not have.
        EXPECT_GE(corpus.commands.size(), commandsAlone + 1) << depth;
        EXPECT_LE(corpus.commands.size(), commandsAlone + 3) << depth;
        EXPECT_EQ(std::count(corpus.commands.begin(), corpus.commands.end(), "BODY"), 0) << depth;
    }
}

// The set after a set follows without a round trip: its first part is sent ahead while the
// set before it is fetched, and a later plan does not send again what is already in flight.
TEST_F(RunPipelineTest, TheNextSetsFirstPartIsSentAhead) {
    SaveGroups();
    std::vector<std::string> sentBeforeH;
    const auto watch = [&](CExtractionRun&, size_t) {
        const bool hDone = std::any_of(articles.rows.begin(), articles.rows.end(),
                                       [](const auto& row) { return row.fileName == "h.bin"; });
        if (hDone && sentBeforeH.empty())
            sentBeforeH = corpus.commands;
    };
    Play(64, watch);
    const auto group = std::find(sentBeforeH.begin(), sentBeforeH.end(), "GROUP alt.sets");
    ASSERT_NE(group, sentBeforeH.end());
    // h.bin is 4 and 1, i.bin 2, 7 and 5, j.bin 3 and 6.
    EXPECT_EQ(std::vector(group + 8, sentBeforeH.end()),
              (std::vector<std::string>{"BODY 4", "BODY 1", "BODY 2", "BODY 7", "BODY 5", "BODY 3",
                                        "BODY 6"}));
}

TEST_F(RunPipelineTest, CatchUpOfTheGroupDropsTheHeadsSentAhead) {
    SaveGroups();
    const auto catchUp = [](CExtractionRun& run, size_t lines) {
        if (lines == 40)
            run.CatchUpCurrentGroup();
    };
    for (const auto& [connections, overview] :
         {std::pair{1u, Overview::None}, {3u, Overview::None}, {1u, Overview::Full}}) {
        corpus.overview = overview;
        const Outcome deep = Play(64, catchUp, connections);
        EXPECT_THAT(deep.groups, ElementsAre("alt.one 62", "alt.two 11", "alt.missing 0",
                                             "alt.three 32", "alt.sets 8"));
        EXPECT_NE(std::find(deep.log.begin(), deep.log.end(), "Catching up group alt.one."),
                  deep.log.end());
        EXPECT_EQ(deep.log.back(), "Extract Complete");
        EXPECT_EQ(deep.files.count("g.bin"), 1u); // the groups after it are read as ever
        EXPECT_EQ(deep.files.count("e.bin"), 0u);
    }
}

// A stop or a connection error with commands in flight: the run ends with nothing left
// half-written, and a second run from the records it left decodes the rest: every file, except
// that a stop gives up the set being fetched (its parts do not stay pending).
TEST_F(RunPipelineTest, StopAndErrorWithCommandsInFlight) {
    SaveGroups();
    const Outcome all = Play(1);
    const std::vector<GroupRecord> start = saved;
    for (const auto& [error, connections, overview] : {std::tuple{false, 1u, Overview::None},
                                                       {true, 1u, Overview::None},
                                                       {false, 3u, Overview::None},
                                                       {true, 3u, Overview::None},
                                                       {false, 1u, Overview::Full},
                                                       {true, 3u, Overview::Full}}) {
        corpus.overview = overview;
        for (const size_t at : {3u, 25u, 60u, 120u, 200u, 400u}) {
            saved = start;
            const auto interrupt = [&](CExtractionRun& run, size_t lines) {
                if (lines != at || !run.IsRunning())
                    return;
                if (error)
                    run.OnConnectionError(CSocketOwnerWnd::kSocketNotification, 10054);
                else
                    run.StartOrStop(0);
            };
            const Outcome first = Play(64, interrupt, connections);
            EXPECT_EQ(corpus.Queued(), 0u) << at;
            EXPECT_TRUE(PartFilePaths().empty()) << at;
            SaveGroups();
            std::map<std::string, std::string> files = first.files;
            const Outcome rest = Play(64, {}, connections);
            files.insert(rest.files.begin(), rest.files.end());
            EXPECT_EQ(rest.log.back(), "Extract Complete") << at;
            for (const auto& [name, bytes] : all.files) {
                const bool lostSet = !error && (name == "c.bin" || name == "f.bin" ||
                                                name == "h.bin" || name == "j.bin");
                if (!lostSet || files.count(name)) {
                    EXPECT_EQ(files[name], bytes)
                        << name << " at " << at << (error ? " error" : " stop") << " with "
                        << connections;
                }
            }
        }
    }
}

// Several connections: the helpers take a share of the commands sent ahead, and what the run
// leaves behind is exactly what one command at a time leaves, with no HEAD or BODY sent twice.
TEST_F(RunPipelineTest, SeveralConnectionsGiveTheOutcomeOfOneCommandAtATime) {
    SaveGroups();
    const Outcome alone = Play(1);
    const auto articleCommands = [this] {
        size_t count = 0;
        for (const auto& [index, commands] : corpus.articleCommands)
            count += commands.size();
        return count;
    };
    const size_t commandsAlone = articleCommands();
    for (const uint32_t connections : {2u, 4u}) {
        for (const uint32_t depth : {2u, 16u, 256u}) {
            EXPECT_EQ(Play(depth, {}, connections), alone) << depth << " " << connections;
            EXPECT_GE(articleCommands(), commandsAlone) << depth << " " << connections;
            EXPECT_LE(articleCommands(), commandsAlone + 2) << depth << " " << connections;
            EXPECT_EQ(corpus.opened, connections);
            EXPECT_EQ(corpus.mostOpen, connections);
            for (uint32_t helper = 1; helper < connections && depth > connections; ++helper)
                EXPECT_FALSE(corpus.articleCommands[helper].empty()) << depth << " " << helper;
        }
    }
}

// The helpers log in while the run reads the overview's format, so that the first walk's
// commands find them ready; a catch-up, which sends nothing ahead, opens none.
TEST_F(RunPipelineTest, HelpersOpenOnceTheRunIsLoggedIn) {
    corpus.overview = CorpusServer::Overview::Standard;
    SaveGroups();
    const Outcome alone = Play(1);
    EXPECT_EQ(Play(256, {}, 3), alone);
    EXPECT_EQ(corpus.openedAtFirstGroup, 3u);
    Play(256, {}, 3, 1);
    EXPECT_EQ(corpus.opened, 1u);
    EXPECT_TRUE(corpus.articleCommands.empty());
}

TEST_F(RunPipelineTest, HelpersRepeatTheLoginAndSelectTheRunsGroup) {
    CServerRecord(profile, kServer).WriteLogin("me", "secret");
    SaveGroups();
    const Outcome alone = Play(1);
    EXPECT_EQ(Play(256, {}, 3), alone);
    ASSERT_EQ(corpus.transcripts.size(), 3u);
    for (auto [index, transcript] : corpus.transcripts) {
        // The first connection asks for the overview's format; the helpers need not.
        if (index == 0 && transcript.size() > 3 && transcript[3] == "LIST OVERVIEW.FMT")
            transcript.erase(transcript.begin() + 3);
        ASSERT_GE(transcript.size(), 5u) << index;
        EXPECT_THAT(
            std::vector(transcript.begin(), transcript.begin() + 4),
            ElementsAre("AUTHINFO USER me", "AUTHINFO PASS secret", "MODE READER", "GROUP alt.one"))
            << index;
        // Later groups are selected on the helpers too before their commands.
        EXPECT_NE(std::find(transcript.begin(), transcript.end(), "GROUP alt.three"),
                  transcript.end())
            << index;
    }
}

// A server that refuses the third connection and after (502 for too many) leaves the run with
// two, for this group and the next: no more attempts, and nothing lost.
TEST_F(RunPipelineTest, AServerRefusingMoreConnectionsGetsNoMore) {
    SaveGroups();
    const Outcome alone = Play(1);
    corpus.greeting = [](size_t index) {
        return std::string(index >= 2 ? "502 too many connections" : "200 corpus ready");
    };
    EXPECT_EQ(Play(256, {}, 4), alone);
    EXPECT_EQ(corpus.opened, 4u);
    EXPECT_FALSE(corpus.articleCommands[1].empty());
    EXPECT_TRUE(corpus.articleCommands[2].empty());
    EXPECT_TRUE(corpus.articleCommands[3].empty());
}

// A helper that breaks at any point: what it had not answered is asked again on the first
// connection, the outcome is unchanged, and the server gets one connection less.
TEST_F(RunPipelineTest, AHelperThatBreaksLosesNothing) {
    SaveGroups();
    const Outcome alone = Play(1);
    size_t broken = 0;
    for (size_t at = 4; at < 700; at += 9) {
        bool done = false;
        const auto breakHelper = [&](CExtractionRun&, size_t lines) {
            if (lines >= at && !done)
                done = corpus.Break(1);
        };
        EXPECT_EQ(Play(256, breakHelper, 3), alone) << at;
        EXPECT_EQ(corpus.Queued(), 0u) << at;
        EXPECT_TRUE(PartFilePaths().empty()) << at;
        broken += done ? 1 : 0;
    }
    EXPECT_GT(broken, 50u);
}

// With an overview, what it decides gets no HEAD and the outcome is that of one command at a
// time. The usual fields decide the kill and the reply; with Content-Type and Lines in full,
// the articles outside the line-count window too.
TEST_F(RunPipelineTest, TheOverviewSparesTheHeadsOfWhatItDecides) {
    settings.m_uMinLines = 2; // the one-line texts are passed over
    SaveGroups();
    const Outcome alone = Play(1);
    // Numbers without an article (5) are asked for: the overview decides only what it lists.
    std::set<uint32_t> standard;
    for (uint32_t number = 1; number <= 61; ++number)
        if (number != 7 && number != 8)
            standard.insert(number);
    const std::set<uint32_t> full{2, 3, 4, 5, 6, 9, 11, 12, 61};
    for (const Overview mode : {Overview::Standard, Overview::Full}) {
        corpus.overview = mode;
        for (const uint32_t connections : {1u, 3u}) {
            for (const uint32_t depth : {2u, 256u}) {
                EXPECT_EQ(Play(depth, {}, connections), alone) << depth << " " << connections;
                const std::multiset<uint32_t>& heads = corpus.heads["alt.one"];
                EXPECT_EQ(std::set<uint32_t>(heads.begin(), heads.end()),
                          mode == Overview::Full ? full : standard)
                    << depth << " " << connections;
                EXPECT_EQ(std::set<uint32_t>(heads.begin(), heads.end()).size(), heads.size());
                EXPECT_THAT(corpus.blocks["alt.one"], ElementsAre("1-5000"));
            }
        }
    }
}

// Headers that differ from the overview (a folded subject the server unfolded) end the
// screening for the rest of the run: from there on every article gets its HEAD.
TEST_F(RunPipelineTest, AnOverviewThatDiffersFromTheHeadersIsNotUsedAgain) {
    settings.m_uMinLines = 2;
    auto& headers = corpus.groups["alt.one"][2].headers;
    headers.insert(headers.begin() + 2, " (folded)");
    SaveGroups();
    const Outcome alone = Play(1);
    corpus.overview = Overview::Full;
    EXPECT_EQ(Play(256, {}, 3), alone);
    EXPECT_EQ(corpus.heads["alt.one"].count(1), 0u); // before the article that differs
    for (const uint32_t number : {7u, 8u, 13u, 60u})
        EXPECT_EQ(corpus.heads["alt.one"].count(number), 1u) << number;
    EXPECT_EQ(corpus.heads["alt.three"].size(), 31u);
    EXPECT_TRUE(corpus.blocks["alt.three"].empty());
}

TEST_F(RunPipelineTest, AServerRefusingItsOverviewIsReadByHead) {
    SaveGroups();
    const Outcome alone = Play(1);
    corpus.overview = Overview::Refused;
    EXPECT_EQ(Play(256, {}, 2), alone);
    EXPECT_EQ(corpus.heads["alt.one"].size(), 61u); // every number of the range, once
    // Refused once, not asked again in the later groups.
    EXPECT_EQ(std::count_if(corpus.commands.begin(), corpus.commands.end(),
                            [](const std::string& c) { return c.starts_with("XOVER "); }),
              1);
}

// A walk without pending numbers begins with its block, whose XOVER follows the GROUP before
// the reply; one the walk does not begin with (the stored position past the group's end) is read
// and dropped. Groups with pending numbers ask for it behind their HEADs.
TEST_F(RunPipelineTest, TheFirstBlockFollowsTheGroup) {
    auto& past = corpus.groups["alt.past"];
    for (uint32_t n = 1; n <= 3; ++n)
        past[n] = Article("Re: note " + std::to_string(n), {"x"});
    AddGroup(*table, "alt.past", 50);
    SaveGroups();
    const Outcome alone = Play(1);
    corpus.overview = Overview::Standard;
    for (const uint32_t connections : {1u, 3u}) {
        EXPECT_EQ(Play(256, {}, connections), alone) << connections;
        EXPECT_GT(corpus.blocksBeforeGroupReply, 0u) << connections;
        EXPECT_THAT(corpus.blocks["alt.past"], ElementsAre("50-5049")) << connections;
        EXPECT_TRUE(corpus.heads["alt.past"].empty()) << connections;
    }
}

// Block by block while the overview spares a HEAD in four or more; a block that spares fewer
// (texts only their Lines can decide, with no Lines in the overview) is the group's last.
TEST_F(RunPipelineTest, OverviewBlocksStopWhereTheySpareTooFewHeads) {
    settings.m_uMinLines = 2;
    auto& big = corpus.groups["alt.big"];
    for (uint32_t n = 1; n <= 11000; ++n)
        big[n] = Article((n <= 5000 ? "Re: note " : "note ") + std::to_string(n), {"x"});
    AddGroup(*table, "alt.big", 0);
    SaveGroups();
    const Outcome alone = Play(1);
    corpus.overview = Overview::Standard;
    EXPECT_EQ(Play(256), alone);
    EXPECT_THAT(corpus.blocks["alt.big"], ElementsAre("1-5000", "5001-10000"));
    const std::multiset<uint32_t>& heads = corpus.heads["alt.big"];
    EXPECT_EQ(heads.size(), 6000u);
    EXPECT_EQ(heads.count(5000), 0u);
    EXPECT_EQ(heads.count(5001), 1u);
    EXPECT_EQ(heads.count(11000), 1u);
}

// A body the run will fetch after the HEAD (a single part, a named attachment, an article
// without a part identifier inside the window) goes out with the HEAD, as the overview shows.
TEST_F(RunPipelineTest, TheBodyOfASingleGoesWithItsHead) {
    settings.m_uMinLines = 2;
    SaveGroups();
    const Outcome alone = Play(1);
    corpus.overview = Overview::Full;
    EXPECT_EQ(Play(256), alone);
    // The commands of alt.one, in the order sent (one connection).
    const auto begin = std::find(corpus.commands.begin(), corpus.commands.end(), "GROUP alt.one");
    const std::vector<std::string> one(begin,
                                       std::find(begin, corpus.commands.end(), "GROUP alt.two"));
    const auto follows = [&one](const std::string& head, const std::string& body) {
        const auto at = std::find(one.begin(), one.end(), head);
        return at != one.end() && std::next(at) != one.end() && *std::next(at) == body;
    };
    EXPECT_TRUE(follows("HEAD 2", "BODY 2"));   // a.bin, uuencoded, 14 lines
    EXPECT_TRUE(follows("HEAD 3", "BODY 3"));   // b.bin (1/1)
    EXPECT_TRUE(follows("HEAD 12", "BODY 12")); // pic.png, named
    EXPECT_TRUE(follows("HEAD 4", "HEAD 5"));   // parts wait for their sets
    EXPECT_TRUE(follows("HEAD 5", "HEAD 6"));   // no such article: no guess
    EXPECT_EQ(std::count(one.begin(), one.end(), "BODY 3"), 1);
}

// Bodies sent ahead with their HEADs stay within the window by the overview's sizes.
TEST_F(RunPipelineTest, BodiesSentWithTheirHeadsStayWithinTheWindow) {
    auto& singles = corpus.groups["alt.singles"];
    for (uint32_t n = 1; n <= 10; ++n) {
        const std::string name = "s" + std::to_string(n) + ".bin";
        singles[n] = Article("\"" + name + "\" yEnc (1/1)",
                             YencSingleBody(name, wire::Bytes(2000, static_cast<int>(n))));
    }
    AddGroup(*table, "alt.singles", 0);
    SaveGroups();
    const Outcome alone = Play(1);
    corpus.overview = Overview::Standard;
    corpus.overviewBytes = std::to_string(12u << 20); // 2 fit in 32 MB, a third does not
    size_t most = 0;
    // Bodies asked for in the group and not yet decoded into their files.
    const auto watch = [&](CExtractionRun&, size_t) {
        const auto group =
            std::find(corpus.commands.begin(), corpus.commands.end(), "GROUP alt.singles");
        const auto bodies = static_cast<size_t>(std::count_if(
            group, corpus.commands.end(), [](const auto& c) { return c.starts_with("BODY "); }));
        const auto done = static_cast<size_t>(
            std::count_if(articles.rows.begin(), articles.rows.end(),
                          [](const auto& row) { return row.fileName.starts_with("s"); }));
        most = std::max(most, bodies - std::min(bodies, done));
    };
    EXPECT_EQ(Play(256, watch), alone);
    EXPECT_EQ(most, 2u);
}

// The complete sets the overview shows are asked for behind the walk's last HEAD, before the run
// has read those HEADs; what the run then asks for is what was sent.
TEST_F(RunPipelineTest, TheFirstSetsBodiesFollowTheLastHead) {
    SaveGroups();
    const Outcome alone = Play(1);
    corpus.overview = Overview::Standard;
    for (const uint32_t connections : {1u, 3u}) {
        std::optional<RunState> whenSent;
        const auto watch = [&](CExtractionRun& run, size_t) {
            const auto group =
                std::find(corpus.commands.begin(), corpus.commands.end(), "GROUP alt.sets");
            if (!whenSent &&
                std::find(group, corpus.commands.end(), "BODY 4") != corpus.commands.end())
                whenSent = run.GetState();
        };
        EXPECT_EQ(Play(256, watch, connections), alone) << connections;
        ASSERT_TRUE(whenSent) << connections;
        EXPECT_TRUE(*whenSent == RunState::HeadRequested || *whenSent == RunState::ReadingHeaders)
            << static_cast<int>(*whenSent);
        const auto group =
            std::find(corpus.commands.begin(), corpus.commands.end(), "GROUP alt.sets");
        // h.bin is 4 and 1, i.bin 2, 7 and 5 (killed by its file name), j.bin 3 and 6.
        for (const char* body : {"BODY 4", "BODY 1", "BODY 2", "BODY 3", "BODY 6"})
            EXPECT_EQ(std::count(group, corpus.commands.end(), body), 1) << body;
    }
}

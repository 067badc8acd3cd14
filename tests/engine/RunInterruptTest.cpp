// A stop by the user, and a connection error, in every state of a run: what becomes of the
// group record, the file being written and the log.
#include "RunTestSupport.h"

#include <set>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

enum class Interrupt { Stop, ErrorDeleting, ErrorKeeping };

struct Case {
    RunState state;
    Interrupt interrupt;
};

// What the server sends to lead the run into each state, in order.
using Steps = std::vector<std::pair<RunState, std::function<void(ScriptedServer&)>>>;

std::string Name(const ::testing::TestParamInfo<Case>& info) {
    static const char* const kinds[] = {"Stop", "ErrorDeleting", "ErrorKeeping"};
    return std::string(kinds[static_cast<int>(info.param.interrupt)]) + "InState" +
           std::to_string(static_cast<int>(info.param.state));
}

// One run through every state: login with AUTHINFO, group alt.bin (stored 8, pending 5 and
// 6, articles 10 to 12), pending article 6 expired and 5 a part, article 10 a uuencoded
// single, 11 a MIME article named in its headers, 12 the second part of 5's set. Each step
// leaves the run waiting in the state it names.
Steps AllSteps() {
    const std::string data = wire::UuData(wire::Bytes(45, 1))[0];
    return {
        {RunState::AwaitingGreeting, [](ScriptedServer& s) { s.Accept("news.example"); }},
        {RunState::LoginUserSent,
         [](ScriptedServer& s) { s.Reply("200 hi").Expect("AUTHINFO USER u"); }},
        {RunState::LoginPasswordSent,
         [](ScriptedServer& s) { s.Reply("381 more").Expect("AUTHINFO PASS p"); }},
        {RunState::ReaderModeRequested,
         [](ScriptedServer& s) { s.Reply("281 ok").Expect("MODE READER"); }},
        {RunState::GroupRequested,
         [](ScriptedServer& s) { s.Reply("200 ok").Expect("GROUP alt.bin"); }},
        {RunState::PendingHeadRequested,
         [](ScriptedServer& s) {
             s.Reply("211 3 10 12 alt.bin").Expect("HEAD 6").Reply("423 gone").Expect("HEAD 5");
         }},
        {RunState::ReadingPendingHeaders,
         [](ScriptedServer& s) { s.Reply("221 5 <5@x>").Reply("Subject: set.bin (1/2)"); }},
        {RunState::HeadRequested,
         [](ScriptedServer& s) { s.Reply("Lines: 10").Reply(".").Expect("HEAD 10"); }},
        {RunState::ReadingHeaders,
         [](ScriptedServer& s) { s.Reply("221 10 <10@x>").Reply("Subject: single.bin"); }},
        {RunState::SingleBodyRequested,
         [](ScriptedServer& s) { s.Reply("Lines: 1000").Reply(".").Expect("BODY"); }},
        {RunState::ScanningBody, [](ScriptedServer& s) { s.Reply("222 body").Reply("text"); }},
        {RunState::UudecodingSingle,
         [data](ScriptedServer& s) { s.Reply("begin 644 single.bin").Reply(data); }},
        {RunState::MimeBodyRequested,
         [](ScriptedServer& s) {
             s.Reply("`").Reply("end").Reply(".").Expect("HEAD 11");
             s.Reply({"221 11 <11@x>", "Subject: m",
                      "Content-Type: application/zip; name=\"m.zip\"", "."});
             s.Expect("BODY");
         }},
        {RunState::DecodingMimePart, [](ScriptedServer& s) { s.Reply("222 body").Reply("QUJD"); }},
        {RunState::FirstPartRequested,
         [](ScriptedServer& s) {
             s.Reply(".").Expect("HEAD 12");
             s.Reply({"221 12 <12@x>", "Subject: set.bin (2/2)", "Lines: 10", "."});
             s.Expect("BODY 5");
         }},
        {RunState::ScanningFirstPart, [](ScriptedServer& s) { s.Reply("222 body").Reply("text"); }},
        {RunState::UudecodingParts,
         [data](ScriptedServer& s) { s.Reply("begin 644 set.bin").Reply(data); }},
        {RunState::NextPartRequested, [](ScriptedServer& s) { s.Reply(".").Expect("BODY 12"); }},
        {RunState::SkippingPartRest, [](ScriptedServer& s) { s.Reply("222 body").Reply("`"); }},
    };
}

} // namespace

// A run played up to the state of the case, then stopped or cut off there.
class InterruptTest : public RunTest, public ::testing::WithParamInterface<Case> {
  protected:
    void PlayAndInterrupt(const Steps& steps) {
        settings.m_bDeleteFails = GetParam().interrupt == Interrupt::ErrorDeleting;
        for (const auto& [reached, step] : steps) {
            step(server);
            if (reached == GetParam().state)
                break;
        }
        server.Then([&] { EXPECT_EQ(run->GetState(), GetParam().state); });
        if (GetParam().interrupt == Interrupt::Stop)
            server.Then([&] { run->StartOrStop(0); });
        else
            server.Error(CSocketOwnerWnd::kSocketNotification, 10054);
        server.Quit();
        RunToEnd();
        EXPECT_EQ(run->GetState(), RunState::Idle);
    }
};

class RunInterruptTest : public InterruptTest {
  protected:
    RunInterruptTest() {
        hive.SetDword("Software\\Hollowfen\\Gleanwick\\Mime", "application", 1);
        profile.WriteProfileInt("Servers\\news.example", "Login Required", 1);
        profile.WriteProfileString("Servers\\news.example", "Login User", "u");
        profile.WriteProfileString("Servers\\news.example", "Login Password", "p");
        group = &AddGroup(*table, "alt.bin", 8, {5, 6});
    }
    GroupRecord* group = nullptr;
};

TEST_P(RunInterruptTest, LeavesRecordFilesAndLogAsTheStateRequires) {
    const RunState state = GetParam().state;
    const Interrupt interrupt = GetParam().interrupt;
    const int n = static_cast<int>(state);
    PlayAndInterrupt(AllSteps());
    EXPECT_FALSE(run->HasCurrentGroup());

    // The group record: untouched before the group was accepted and while pending articles
    // were re-read; otherwise the position reached and the parts still pending.
    if (n <= 6 || state == RunState::ReadingPendingHeaders) {
        EXPECT_EQ(group->last, 8u);
        EXPECT_THAT(group->pending, ElementsAre(5u, 6u));
    } else if (n <= 12) {
        EXPECT_EQ(group->last, 10u);
        EXPECT_THAT(group->pending, ElementsAre(5u));
    } else if (n <= 14) {
        EXPECT_EQ(group->last, 11u);
        EXPECT_THAT(group->pending, ElementsAre(5u));
    } else if (interrupt != Interrupt::Stop && state != RunState::SkippingPartRest) {
        // The walk was done; a set the connection cut off stays pending.
        EXPECT_EQ(group->last, 13u);
        EXPECT_THAT(group->pending, ElementsAre(5u, 12u));
    } else {
        EXPECT_EQ(group->last, 13u); // the walk was done; the set left the list
        EXPECT_THAT(group->pending, IsEmpty());
    }

    // Files: the one being written goes on a stop and on an error when failures are deleted.
    const bool keepPartial = interrupt == Interrupt::ErrorKeeping;
    EXPECT_EQ(Exists(DecodePath("single.bin")), n > 12 || (n == 12 && keepPartial));
    EXPECT_EQ(Exists(DecodePath("m.zip")), n > 14 || ((n == 13 || n == 14) && keepPartial));
    EXPECT_EQ(Exists(DecodePath("set.bin")), n == 19 || ((n == 17 || n == 18) && keepPartial));

    // The log: nothing on a stop; the state's message and the end of the run on an error.
    const std::string last = log.lines.back();
    if (interrupt == Interrupt::Stop) {
        EXPECT_TRUE(last.rfind("Connecting", 0) == 0 || last.rfind("Checking", 0) == 0) << last;
    } else {
        const std::string expected = n == 1   ? "Failed to connect to news.example"
                                     : n <= 3 ? "Error loging in to host news.example"
                                              : "Error communicating with host news.example";
        ASSERT_GE(log.lines.size(), 2u);
        EXPECT_EQ(log.lines[log.lines.size() - 2], expected);
        EXPECT_EQ(last, "Extract Complete");
    }
    EXPECT_EQ(server.Transcript().back(), "QUIT");
}

std::vector<Case> AllCases() {
    std::vector<Case> cases;
    for (Interrupt interrupt : {Interrupt::Stop, Interrupt::ErrorDeleting, Interrupt::ErrorKeeping})
        for (int state = 1; state <= 19; ++state)
            cases.push_back({static_cast<RunState>(state), interrupt});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(EveryState, RunInterruptTest, ::testing::ValuesIn(AllCases()), Name);

// The same for the states of a yEnc decode: group alt.bin (stored 8, pending 5, articles 10
// to 12), pending article 5 the first part of a yEnc set, article 10 a yEnc single, 11 text,
// 12 the set's second part.
namespace {

Steps YencSteps() {
    return {
        {RunState::YdecodingSingle,
         [](ScriptedServer& s) {
             s.Accept("news.example").Reply("200 hi").Expect("MODE READER").Reply("200 ok");
             s.Expect("GROUP alt.bin").Reply("211 3 10 12 alt.bin").Expect("HEAD 5");
             s.Reply({"221 5 <5@x>", "Subject: \"set.bin\" yEnc (1/2)", "Lines: 10", "."});
             s.Expect("HEAD 10").Reply({"221 10 <10@x>", "Subject: y.bin", "Lines: 1000", "."});
             s.Expect("BODY").Reply("222 body").Reply("=ybegin line=128 size=4 name=y.bin");
             s.Reply("ab");
         }},
        {RunState::YdecodingParts,
         [](ScriptedServer& s) {
             s.Reply("cd").Reply("=yend size=4").Reply(".").Expect("HEAD 11");
             s.Reply({"221 11 <11@x>", "Subject: text", "Lines: 0", "."}).Expect("HEAD 12");
             s.Reply({"221 12 <12@x>", "Subject: \"set.bin\" yEnc (2/2)", "Lines: 10", "."});
             s.Expect("BODY 5").Reply("222 body");
             s.Reply("=ybegin part=1 total=2 line=128 size=4 name=set.bin");
             s.Reply("=ypart begin=1 end=2").Reply("ab");
         }},
        {RunState::YencPartEnded, [](ScriptedServer& s) { s.Reply("=yend size=2 part=1"); }},
    };
}

} // namespace

class RunYencInterruptTest : public InterruptTest {
  protected:
    RunYencInterruptTest() { group = &AddGroup(*table, "alt.bin", 8, {5}); }
    GroupRecord* group = nullptr;
};

TEST_P(RunYencInterruptTest, LeavesRecordFilesAndLogAsTheStateRequires) {
    const RunState state = GetParam().state;
    const Interrupt interrupt = GetParam().interrupt;
    PlayAndInterrupt(YencSteps());
    const bool single = state == RunState::YdecodingSingle;
    EXPECT_EQ(group->last, single ? 10u : 13u);
    if (single)
        EXPECT_THAT(group->pending, ElementsAre(5u));
    else if (interrupt == Interrupt::Stop)
        EXPECT_THAT(group->pending, IsEmpty());
    else
        EXPECT_THAT(group->pending, ElementsAre(5u, 12u));
    const bool keepPartial = interrupt == Interrupt::ErrorKeeping;
    EXPECT_EQ(Exists(DecodePath("y.bin")), !single || keepPartial);
    EXPECT_EQ(Exists(DecodePath("set.bin")), !single && keepPartial);
    if (interrupt != Interrupt::Stop) {
        ASSERT_GE(log.lines.size(), 2u);
        EXPECT_EQ(log.lines[log.lines.size() - 2], "Error communicating with host news.example");
    }
    EXPECT_EQ(log.lines.back(), interrupt == Interrupt::Stop
                                    ? "Checking group alt.bin for attachments"
                                    : "Extract Complete");
}

std::vector<Case> YencCases() {
    std::vector<Case> cases;
    for (Interrupt interrupt : {Interrupt::Stop, Interrupt::ErrorDeleting, Interrupt::ErrorKeeping})
        for (RunState state :
             {RunState::YdecodingSingle, RunState::YdecodingParts, RunState::YencPartEnded})
            cases.push_back({state, interrupt});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(EveryYencState, RunYencInterruptTest, ::testing::ValuesIn(YencCases()),
                         Name);

// A stopped run starts afresh: the next start runs from the first server again.
TEST_F(RunTest, StoppedRunCanBeStartedAgain) {
    AddGroup(*table, "alt.bin", 0);
    server.Accept(kServer).Then([this] { run->StartOrStop(0); }).Quit();
    RunToEnd();
    EXPECT_EQ(run->GetState(), RunState::Idle);
    Connect();
    Group("alt.bin", 1, 0);
    server.Quit();
    RunToEnd();
    EXPECT_EQ(log.lines.back(), "Extract Complete");
    // Lines after the end are ignored.
    std::string late = "200 late";
    EXPECT_FALSE(run->OnResponseLine(late));
    run->OnConnectionError(CSocketOwnerWnd::kSocketNotification, 10054);
    EXPECT_EQ(log.lines.back(), "Extract Complete");
}

// A server that answers anything with anything: replies, headers, body lines, dots, errors
// and stops in random order. The run must never crash, write outside the decode folder or
// leave a file open once it is stopped.
TEST_F(RunTest, SurvivesAHostileServer) {
    struct AnyConnection : INewsConnection {
        void Start() override {}
        void SendLine(std::string_view) override {}
        void Close() override {}
    };
    hive.SetDword("Software\\Hollowfen\\Gleanwick\\Mime", "application", 1);
    settings.m_bLog = true;
    settings.m_bGroupDirs = true;
    settings.m_uMinLines = 0;
    settings.m_bDecodeNoLines = true;
    profile.WriteProfileInt("Servers\\news.example", "Login Required", 1);
    AddGroup(*table, "alt.bin", 1, {3, 4000000000u});
    AddGroup(*table, "..", 1);
    CExtractionRun hostile(
        profile, servers, settings, kills,
        [](const std::string&, CSocketOwnerWnd&) { return std::make_unique<AnyConnection>(); }, log,
        articles, progress, host, m_dir + "/");
    const std::vector<std::string> vocabulary = {"200 ok",
                                                 "211 5 1 4294967295 alt.bin",
                                                 "211 1 0 0",
                                                 "211",
                                                 "221 1",
                                                 "222 body",
                                                 "381",
                                                 "480",
                                                 "502",
                                                 ".",
                                                 "..",
                                                 "...x",
                                                 "",
                                                 "Subject: x (1/2)",
                                                 "Subject: x (2/2)",
                                                 "Subject: y (2/2147483647)",
                                                 "Subject: Re: z",
                                                 "Lines: -5",
                                                 "Lines: 99999999999",
                                                 "Content-Type: application/x; name=\"../../e\"",
                                                 "Content-Type: multipart/mixed; boundary=b",
                                                 "Content-Type: application/y",
                                                 "Content-Transfer-Encoding: 7bit",
                                                 "Content-Disposition: attachment; filename=\"",
                                                 "--b",
                                                 "--b--",
                                                 "begin 644 ../up.bin",
                                                 "begin 644 f.bin",
                                                 "begin",
                                                 "M",
                                                 "~~~~",
                                                 "`",
                                                 " ",
                                                 "end",
                                                 "QUJD",
                                                 "QQ==",
                                                 "====",
                                                 std::string(3000, 'M'),
                                                 wire::UuData(wire::Bytes(45, 3))[0],
                                                 "=ybegin part=1 total=2 size=3 name=p.bin",
                                                 "=ybegin part=2 total=2 size=3 name=p.bin",
                                                 "=ybegin part=1 size=3 name=../y.bin",
                                                 "=ypart begin=1 end=2",
                                                 "=ypart begin=3 end=3",
                                                 "=yend size=2 part=1",
                                                 "=yend size=1 part=2 crc32=0",
                                                 "=yend size=3",
                                                 "=y",
                                                 "abc=",
                                                 std::string("\x01\xff", 2)};
    uint32_t seed = 12345;
    auto next = [&seed](uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % n;
    };
    // Mostly the reply a state waits for, so that every state is reached.
    int made = 0;
    int round = 0;
    unsigned yencLine = 0;
    auto expected = [&next, &made, &round, &yencLine](RunState state) -> std::string {
        switch (state) {
        case RunState::AwaitingGreeting:
        case RunState::ReaderModeRequested:
            return "200 ok";
        case RunState::LoginUserSent:
            return "381 more";
        case RunState::LoginPasswordSent:
            return "281 ok";
        case RunState::GroupRequested:
            return "211 6 1 " + std::to_string(6 * (round + 1)) + " alt.bin"; // new articles
        case RunState::PendingHeadRequested:
        case RunState::HeadRequested:
            return "221 1";
        case RunState::SingleBodyRequested:
        case RunState::MimeBodyRequested:
        case RunState::FirstPartRequested:
        case RunState::NextPartRequested:
            return "222 body";
        case RunState::ReadingHeaders:
        case RunState::ReadingPendingHeaders: {
            static const char* const headers[] = {"Subject: single", "Subject: x (1/2)",
                                                  "Subject: x (2/2)", ".",
                                                  "Content-Type: application/x; name=\"../../e\""};
            return headers[next(5)];
        }
        case RunState::UudecodingParts:
            return next(2) ? "." : "`";
        case RunState::YdecodingParts: {
            // In the order of a part's body; a part entered out of step fails its check.
            static const char* const lines[] = {"=ypart begin=1 end=2", "ab",
                                                "=yend size=2 part=1"};
            return lines[yencLine++ % 3];
        }
        case RunState::YencPartEnded:
            return ".";
        case RunState::ScanningBody:
            switch (next(3)) {
            case 0:
                return "begin 644 f" + std::to_string(++made);
            case 1:
                return "=ybegin size=2 name=y" + std::to_string(++made);
            default:
                return "Content-Type: application/y; name=g" + std::to_string(++made) +
                       "; boundary=b";
            }
        case RunState::ScanningFirstPart:
            return next(2) ? "begin 644 f" + std::to_string(++made)
                           : "=ybegin part=1 total=2 size=9 name=y" + std::to_string(++made);
        default:
            return "";
        }
    };
    std::set<RunState> visited;
    size_t files = 0;
    for (; round < 60; ++round) {
        hostile.StartOrStop(static_cast<int>(next(8) == 0));
        for (int i = 0; i < 2000 && hostile.IsRunning(); ++i) {
            visited.insert(hostile.GetState());
            std::string line = expected(hostile.GetState());
            if (!line.empty() && next(12) != 0) {
                hostile.OnResponseLine(line);
                continue;
            }
            const uint32_t pick = next(static_cast<uint32_t>(vocabulary.size()) + 3);
            if (pick == vocabulary.size())
                hostile.OnConnectionError(CSocketOwnerWnd::kSocketNotification, 10054);
            else if (pick == vocabulary.size() + 1 && next(10) == 0)
                hostile.CatchUpCurrentGroup();
            else if (pick == vocabulary.size() + 2 && next(10) == 0)
                hostile.StartOrStop(0);
            else if (pick < vocabulary.size()) {
                line = vocabulary[pick];
                hostile.OnResponseLine(line);
            }
        }
        files += articles.rows.size();
        if (hostile.IsRunning())
            hostile.StartOrStop(0);
        EXPECT_EQ(hostile.GetState(), RunState::Idle);
        EXPECT_FALSE(hostile.HasCurrentGroup());
    }
    // Nothing was written beside the decode folder, the newsrc and the log files.
    for (const auto& entry : std::filesystem::recursive_directory_iterator(m_dir)) {
        const std::string path = entry.path().string();
        const bool allowed =
            path.rfind(settings.m_DecodeDir, 0) == 0 ||
            path == settings.m_DecodeDir.substr(0, settings.m_DecodeDir.size() - 1) ||
            entry.path().extension() == ".log" ||
            path.find("news.example.newsrc") != std::string::npos;
        EXPECT_TRUE(allowed) << path;
    }
    EXPECT_FALSE(Exists(m_dir + "/up.bin"));
    EXPECT_EQ(visited.size(), 22u);
    EXPECT_GT(files, 0u);
}

// Whole runs driven through a scripted server: login, groups, the range walk, the
// classification of articles, catch-up, completion and the log file.
#include "RunTestSupport.h"
#include "platform/Diagnostics.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

const std::string kDone = "Extract Complete";

} // namespace

// --- Login ---------------------------------------------------------------------------------

TEST_F(RunTest, GreetingWithoutPostingIsAcceptedAndModeReaderRefusalIsToo) {
    AddGroup(*table, "alt.bin", 0);
    server.Accept(kServer).Reply("201 no posting").Expect("MODE READER").Reply("500 what?");
    Group("alt.bin", 1, 0);
    server.Quit();
    RunToEnd();
    EXPECT_THAT(log.lines, ElementsAre("Connecting to news.example",
                                       "Checking group alt.bin for attachments", kDone));
    EXPECT_EQ(run->GetState(), RunState::Idle);
}

TEST_F(RunTest, LoginSendsStoredUserAndPassword) {
    profile.WriteProfileInt("Servers\\news.example", "Login Required", 1);
    profile.WriteProfileString("Servers\\news.example", "Login User", "joe");
    profile.WriteProfileString("Servers\\news.example", "Login Password", "s3cret");
    AddGroup(*table, "alt.bin", 0);
    server.Accept(kServer).Reply("200 hi").Expect("AUTHINFO USER joe").Reply("381 more");
    server.Expect("AUTHINFO PASS s3cret").Reply("281 ok").Expect("MODE READER").Reply("200 ok");
    Group("alt.bin", 1, 0);
    server.Quit();
    RunToEnd();
    EXPECT_EQ(log.lines.back(), kDone);
}

TEST_F(RunTest, RefusedPasswordPromptsAndLogsInAgainWhenConfirmed) {
    profile.WriteProfileInt("Servers\\news.example", "Login Required", 1);
    AddGroup(*table, "alt.bin", 0);
    server.Accept(kServer).Reply("200 hi").Expect("AUTHINFO USER ").Reply("381 more");
    // The prompt stores new values; the whole login runs again with them.
    host.onLogon = [this] {
        profile.WriteProfileString("Servers\\news.example", "Login User", "new");
    };
    server.Expect("AUTHINFO PASS ").Reply("502 denied").Quit();
    server.Accept(kServer).Reply("200 hi").Expect("AUTHINFO USER new").Reply("381 more");
    server.Expect("AUTHINFO PASS ").Reply("281 ok").Expect("MODE READER").Reply("480 auth");
    server.Quit().Accept(kServer).Reply("200 hi").Expect("AUTHINFO USER new").Reply("381 more");
    server.Expect("AUTHINFO PASS ").Reply("281 ok").Expect("MODE READER").Reply("200 ok");
    Group("alt.bin", 1, 0);
    server.Quit();
    RunToEnd();
    EXPECT_EQ(host.logonPrompts, 2);
    EXPECT_EQ(log.lines.back(), kDone);
}

TEST_F(RunTest, CancelledPromptOrRefusedRepliesFailTheServerAndTheRunGoesOn) {
    profile.WriteProfileInt("Servers\\news.example", "Login Required", 1);
    AddGroup(*table, "alt.bin", 0);
    CGroupTable& second = AddServer("second.example");
    AddGroup(second, "alt.x", 0);
    CGroupTable& third = AddServer("third.example");
    AddGroup(third, "alt.y", 0);
    CGroupTable& fourth = AddServer("fourth.example");
    AddGroup(fourth, "alt.z", 0);
    host.confirmLogon = false;

    server.Accept(kServer).Reply("200 hi").Expect("AUTHINFO USER ").Reply("381 more");
    server.Expect("AUTHINFO PASS ").Reply("502 denied").Quit();
    server.Accept("second.example").Reply("400 go away").Quit();
    server.RefuseStart("third.example");
    server.Accept("fourth.example").Reply("200 hi").Expect("MODE READER").Reply("502 no");
    server.Quit();
    RunToEnd();
    EXPECT_THAT(log.lines,
                ElementsAre("Connecting to news.example", "Failed to connect to news.example",
                            "Connecting to second.example", "Failed to connect to second.example",
                            "Connecting to third.example", "Failed to connect to third.example",
                            "Connecting to fourth.example", "Failed to connect to fourth.example",
                            kDone));
}

TEST_F(RunTest, HostLearnsStartAndEndWithTheOutcomeAndTheLastServer) {
    AddGroup(*table, "alt.bin", 0);
    CGroupTable& second = AddServer("second.example");
    AddGroup(second, "alt.x", 0);
    EXPECT_EQ(run->LastServerName(), "");
    server.Accept(kServer).Reply("400 go away").Quit();
    Connect("second.example");
    Group("alt.x", 1, 0);
    server.Quit();
    RunToEnd();
    EXPECT_THAT(host.stateChanges, ElementsAre(true, false));
    EXPECT_TRUE(run->HasCompleted());
    EXPECT_TRUE(run->HasServerFailed());
    EXPECT_EQ(run->LastServerName(), "second.example");

    // A run stopped half way: not completed, nothing failed.
    host.stateChanges.clear();
    server.Accept(kServer).Then([this] { run->StartOrStop(0); }).Quit();
    run->StartOrStop(0);
    server.Play(*run);
    EXPECT_THAT(host.stateChanges, ElementsAre(true, false));
    EXPECT_FALSE(run->HasCompleted());
    EXPECT_FALSE(run->HasServerFailed());
    EXPECT_EQ(run->LastServerName(), kServer);
}

TEST_F(RunTest, StopDuringTheLogonPromptEndsTheRunQuietly) {
    AddGroup(*table, "alt.bin", 0);
    host.onLogon = [this] { run->StartOrStop(0); };
    server.Accept(kServer).Reply("200 hi").Expect("MODE READER").Reply("480 login first").Quit();
    RunToEnd();
    EXPECT_EQ(run->GetState(), RunState::Idle);
    EXPECT_THAT(log.lines, ElementsAre("Connecting to news.example"));
}

TEST_F(RunTest, ServersWithoutSubscribedGroupsAreNotContacted) {
    AddGroup(*table, "alt.unsubscribed", 0, {}, false);
    AddServer("empty.example");
    EXPECT_FALSE(run->CanStartExtract());
    CGroupTable& other = AddServer("other.example");
    AddGroup(other, "alt.bin", 0);
    EXPECT_TRUE(run->CanStartExtract());
    Connect("other.example");
    Group("alt.bin", 1, 0);
    server.Quit();
    RunToEnd();
    EXPECT_THAT(log.lines, ElementsAre("Connecting to other.example",
                                       "Checking group alt.bin for attachments", kDone));
}

TEST_F(RunTest, FailedCommandSendMovesToTheNextServer) {
    AddGroup(*table, "alt.bin", 0);
    server.Accept(kServer).Reply("200 hi").RefuseSend("MODE READER").Quit();
    RunToEnd();
    EXPECT_THAT(log.lines, ElementsAre("Connecting to news.example",
                                       "Unable to communicate with news.example", kDone));
}

// --- Groups and the range walk --------------------------------------------------------------

TEST_F(RunTest, RefusedGroupKeepsItsRecordAndTheNextGroupFollows) {
    GroupRecord& gone = AddGroup(*table, "alt.gone", 42, {7, 9});
    GroupRecord& skipped = AddGroup(*table, "alt.skipped", 5, {}, false);
    GroupRecord& empty = AddGroup(*table, "alt.empty", 3);
    Connect();
    server.Expect("GROUP alt.gone").Reply("411 no such group");
    Group("alt.empty", 1, 0); // last 0: no HEAD at all
    server.Quit();
    RunToEnd();
    EXPECT_THAT(log.lines,
                ElementsAre("Connecting to news.example", "Checking group alt.gone for attachments",
                            "Invalid group alt.gone", "Checking group alt.empty for attachments",
                            kDone));
    EXPECT_EQ(gone.last, 42u);
    EXPECT_THAT(gone.pending, ElementsAre(7u, 9u));
    EXPECT_EQ(skipped.last, 5u);
    EXPECT_EQ(empty.last, 3u);
    EXPECT_EQ(host.saves, 3); // before each group and after the last
    EXPECT_EQ(ReadFile(m_dir + "/news.example.newsrc"),
              "alt.gone: 42 7 9\nalt.skipped! 5\nalt.empty: 3\n");
}

TEST_F(RunTest, RangeWalkStartsAtTheLaterOfFirstAndStoredAndEndsPastLast) {
    GroupRecord& below = AddGroup(*table, "alt.below", 2);
    GroupRecord& inside = AddGroup(*table, "alt.inside", 11);
    GroupRecord& above = AddGroup(*table, "alt.above", 50);
    Connect();
    Group("alt.below", 10, 11);
    Head({10, "Re: a"}); // skipped: reply
    Head({11, ""});      // skipped: no subject
    Group("alt.inside", 10, 12);
    server.Expect("HEAD 11").Reply("423 no such article");
    Head({12, "text", 10});
    Group("alt.above", 10, 12);
    server.Quit();
    RunToEnd();
    EXPECT_EQ(below.last, 12u);
    EXPECT_EQ(inside.last, 13u);
    EXPECT_EQ(above.last, 50u);
    // Group bar positions: the article numbers requested.
    EXPECT_THAT(progress.groupPositions, ElementsAre(10u, 11u, 11u, 12u));
}

TEST_F(RunTest, PendingNumbersAreRequestedLastToFirstBeforeTheWalk) {
    GroupRecord& group = AddGroup(*table, "alt.bin", 20, {5, 7, 9});
    Connect();
    Group("alt.bin", 1, 20);
    server.Expect("HEAD 9").Reply("423 gone");
    Head({7, "pic.jpg (2/3)"});
    server.Expect("HEAD 5").Reply("430 gone");
    Head({20, "pic.jpg (3/3)"});
    server.Quit();
    RunToEnd();
    // Expired pending articles drop out; the others stay pending with the new part.
    EXPECT_THAT(group.pending, ElementsAre(7u, 20u));
    EXPECT_EQ(group.last, 21u);
}

TEST_F(RunTest, PendingArticleDecodedAsSingleKeepsTheRemainingPendingNumbers) {
    GroupRecord& group = AddGroup(*table, "alt.bin", 20, {3, 4});
    Connect();
    Group("alt.bin", 1, 20);
    Fetch({4, "whole.bin", 1000}, wire::Uuencode("whole.bin", "w"));
    Head({3, "part.bin (1/2)"});
    Head({20, "x", 10});
    server.Quit();
    RunToEnd();
    EXPECT_THAT(group.pending, ElementsAre(3u));
    EXPECT_EQ(group.last, 21u);

    // A stop while such an article is decoded leaves the record as it was.
    group.last = 20;
    group.pending = {3, 4};
    std::filesystem::remove(DecodePath("whole.bin"));
    Connect();
    Group("alt.bin", 1, 20);
    Head({4, "whole.bin", 1000});
    server.Expect("BODY").Reply(std::vector<std::string>{"222 body", "begin 644 whole.bin"});
    server.Then([this] { run->StartOrStop(0); }).Quit();
    RunToEnd();
    EXPECT_EQ(group.last, 20u);
    EXPECT_THAT(group.pending, ElementsAre(3u, 4u));
    EXPECT_FALSE(Exists(DecodePath("whole.bin")));
}

// --- Classification --------------------------------------------------------------------------

TEST_F(RunTest, ClassificationSkipsKillsAndFetchesByTheRules) {
    settings.m_bDecodeNoLines = false;
    kills = {{0, "*@spam.example"}, {1, "*SPAM*"}, {2, "bad?.bin"}};
    GroupRecord& group = AddGroup(*table, "alt.bin", 1);
    Connect();
    Group("alt.bin", 1, 12);
    Head({1, "file.bin", 1000, "x@spam.example"});                    // author killed
    Head({2, "BUY SPAM NOW", 1000});                                  // subject killed
    Head({3, "Re: pic.jpg (1/2)", 1000});                             // reply skipped
    Head({4, "", 1000});                                              // no subject
    Head({5, "small.bin", 120});                                      // below the line window
    Head({6, "nolines.bin", -1});                                     // no Lines header
    Head({7, "part zero (0/5)", 5000});                               // part 0 carries no data
    Fetch({8, "one.bin (1/1)", 3}, wire::Uuencode("one.bin", "one")); // 1 of 1: no window
    Fetch({9, "big.bin", 500}, wire::Uuencode("big.bin", "big"));     // window edge
    Head({10, "set.bin (1/2)", 10});                                  // pending
    Fetch({11, "bad1.bin", 800}, wire::Uuencode("bad1.bin", "x"));    // file name killed
    Head({12, "file (2/1)", 100});                                    // invalid identifier, short
    server.Quit();
    RunToEnd();

    EXPECT_THAT(log.lines,
                ElementsAre("Connecting to news.example", "Checking group alt.bin for attachments",
                            "Killing message with author of: x@spam.example",
                            "Killing message with subject of: BUY SPAM NOW",
                            "Killing message with file name of: bad1.bin", kDone));
    EXPECT_EQ(ReadFile(DecodePath("one.bin")), "one");
    EXPECT_EQ(ReadFile(DecodePath("big.bin")), "big");
    EXPECT_FALSE(Exists(DecodePath("bad1.bin")));
    ASSERT_EQ(articles.rows.size(), 2u);
    EXPECT_EQ(articles.rows[0].fileName, "one.bin");
    EXPECT_EQ(articles.rows[0].lines, 3u);
    EXPECT_EQ(articles.rows[0].author, "poster@example.com");
    EXPECT_EQ(articles.rows[1].subject, "big.bin");
    EXPECT_THAT(group.pending, ElementsAre(10u));
}

TEST_F(RunTest, OptionsLetRepliesEmptySubjectsAndMissingLinesThrough) {
    settings.m_bDecodeReplies = true;
    settings.m_bDecodeNoSubject = true;
    settings.m_bDecodeNoLines = true;
    settings.m_uMaxLines = 600;
    AddGroup(*table, "alt.bin", 1);
    Connect();
    Group("alt.bin", 1, 5);
    Fetch({1, "Re: pic.jpg (1/2)", 500}, wire::Uuencode("reply.bin", "r")); // a reply is single
    Fetch({2, "", 500}, wire::Uuencode("nosubject.bin", "n"));
    Fetch({3, "x", -1}, wire::Uuencode("nolines.bin", "l"));
    Head({4, "too long", 601});
    Head({5, "negative", -1, "a@b.c", {"Lines: -5"}}); // counts as 4294967291
    server.Quit();
    RunToEnd();
    EXPECT_EQ(articles.rows.size(), 3u);
    EXPECT_EQ(articles.rows[2].lines, 4294967295u); // no Lines header
}

TEST_F(RunTest, WithoutPartIdOptionUnnumberedArticlesAreSkipped) {
    settings.m_bDecodeNoPartID = false;
    AddGroup(*table, "alt.bin", 1);
    Connect();
    Group("alt.bin", 1, 2);
    Head({1, "plain.bin", 1000});
    Fetch({2, "numbered (1/1)", 1000}, wire::Uuencode("numbered.bin", "n"));
    server.Quit();
    RunToEnd();
    EXPECT_EQ(articles.rows.size(), 1u);
}

// --- Catch-up ---------------------------------------------------------------------------------

TEST_F(RunTest, CatchUpMovesEveryGroupToItsLastArticleWithoutHeads) {
    settings.m_bAutoExit = true;
    GroupRecord& a = AddGroup(*table, "alt.a", 3, {4, 5});
    GroupRecord& b = AddGroup(*table, "alt.b", 0);
    Connect();
    Group("alt.a", 1, 1000);
    Group("alt.b", 5, 70);
    server.Quit();
    RunToEnd(1);
    EXPECT_THAT(log.lines, ElementsAre("Connecting to news.example", "Catching up group alt.a.",
                                       "Catching up group alt.b.", "Catch-up Complete"));
    EXPECT_EQ(a.last, 1000u);
    EXPECT_THAT(a.pending, IsEmpty());
    EXPECT_EQ(b.last, 70u);
    EXPECT_THAT(host.posted, IsEmpty()); // no exit after a catch-up
    EXPECT_TRUE(run->IsCatchUp());
}

TEST_F(RunTest, CatchUpOfTheCurrentGroupJumpsPastItsLastArticle) {
    GroupRecord& group = AddGroup(*table, "alt.bin", 1, {3});
    GroupRecord& next = AddGroup(*table, "alt.next", 1);
    // Nothing to catch up during the login.
    server.Accept(kServer).Then([this] {
        EXPECT_FALSE(run->HasCurrentGroup());
        run->CatchUpCurrentGroup();
    });
    server.Reply("200 ready").Expect("MODE READER").Reply("200 ok");
    Group("alt.bin", 1, 100);
    Head({3, "set (1/2)"});
    Head({1, "set (2/2)"});
    server.Expect("HEAD 2").Then([this] {
        ASSERT_TRUE(run->HasCurrentGroup());
        run->CatchUpCurrentGroup();
    });
    server.Reply("423 gone");
    // The complete set is not fetched but stays pending; the flag holds for this group only.
    Group("alt.next", 1, 1);
    Head({1, "x", 10});
    server.Quit();
    RunToEnd();
    EXPECT_THAT(log.lines,
                ElementsAre("Connecting to news.example", "Checking group alt.bin for attachments",
                            "Catching up group alt.bin.", "Checking group alt.next for attachments",
                            kDone));
    EXPECT_EQ(group.last, 101u);
    EXPECT_THAT(group.pending, ElementsAre(3u, 1u));
    EXPECT_EQ(next.last, 2u);
}

// --- Completion and the log file ---------------------------------------------------------------

TEST_F(RunTest, ExitIsPostedAfterExtractCompleteOnlyWhenAsked) {
    AddGroup(*table, "alt.bin", 0);
    Connect();
    Group("alt.bin", 1, 0);
    server.Quit();
    RunToEnd();
    EXPECT_THAT(host.posted, IsEmpty());

    settings.m_bAutoExit = true;
    host.onPost = [this] { EXPECT_EQ(log.lines.back(), kDone); };
    Connect();
    Group("alt.bin", 1, 0);
    server.Quit();
    RunToEnd();
    EXPECT_THAT(host.posted, ElementsAre(CExtractionRun::kExitCommand));

    // A stopped run posts nothing.
    host.posted.clear();
    server.Accept(kServer).Then([this] { run->StartOrStop(0); }).Quit();
    run->StartOrStop(0);
    server.Play(*run);
    EXPECT_TRUE(server.Done());
    EXPECT_THAT(host.posted, IsEmpty());
}

TEST_F(RunTest, LogFileHoldsStampedMessagesAndFileDecodeLines) {
    settings.m_bLog = true;
    AddGroup(*table, "alt.bin", 1);
    Connect();
    Group("alt.bin", 1, 1);
    server.Expect("HEAD 1").Then([this] { now += 1; });
    server.Reply(wire::Head({1, "pic.bin", 900, "a@b.c"})).Expect("BODY");
    server.Reply(wire::Body(wire::Uuencode("pic.bin", "data")));
    server.Quit();
    RunToEnd();
    EXPECT_THAT(LogFiles(), ElementsAre("Gleanwick.120626194714.log"));
    EXPECT_EQ(ReadFile(m_dir + "/Gleanwick.120626194714.log"),
              "[12/06/2026 19:47:14] Connecting to news.example\n"
              "[12/06/2026 19:47:14] Checking group alt.bin for attachments\n"
              "[12/06/2026 19:47:15] File Decode: pic.bin, a@b.c, pic.bin\n"
              "[12/06/2026 19:47:15] Extract Complete\n");

    // Each run has its own file; one started in the same second empties it again.
    for (int i = 0; i < 2; ++i) {
        Connect();
        Group("alt.bin", 1, 1);
        server.Quit();
        RunToEnd();
        EXPECT_EQ(ReadFile(m_dir + "/Gleanwick.120626194715.log"),
                  "[12/06/2026 19:47:15] Connecting to news.example\n"
                  "[12/06/2026 19:47:15] Checking group alt.bin for attachments\n"
                  "[12/06/2026 19:47:15] Extract Complete\n");
    }
    // Without logging no file is made.
    settings.m_bLog = false;
    now += 60;
    Connect();
    Group("alt.bin", 1, 1);
    server.Quit();
    RunToEnd();
    EXPECT_EQ(LogFiles().size(), 2u);
    EXPECT_EQ(log.lines.back(), kDone); // the list still shows everything
}

TEST_F(RunTest, LogFileThatCannotBeCreatedMeansNoFileOutput) {
    settings.m_bLog = true;
    const std::string folder = m_dir + "/missing/";
    CExtractionRun orphan(profile, servers, settings, kills, server.Factory(), log, articles,
                          progress, host, folder);
    AddGroup(*table, "alt.bin", 0);
    Connect();
    Group("alt.bin", 1, 0);
    server.Quit();
    orphan.StartOrStop(0);
    server.Play(orphan);
    EXPECT_TRUE(server.Done());
    EXPECT_EQ(log.lines.back(), kDone);
    EXPECT_FALSE(Exists(folder));
}

// Header lines go to the diagnostics trace at level 4 only: at level 5 the connection already
// traces every line it receives, and a second copy would double them.
TEST_F(RunTest, HeaderLinesAreTracedAtLevelFourOnly) {
    const std::string path = m_dir + "/trace.dbg";
    for (const int level : {4, 5}) {
        ASSERT_TRUE(OpenDiagnosticsFile(path));
        g_nDebugLevel = level;
        GroupRecord& group = AddGroup(*table, "alt.trace" + std::to_string(level), 0);
        Connect();
        Group("alt.trace" + std::to_string(level), 1, 1);
        Head({1, "traced subject", 0});
        server.Quit();
        RunToEnd();
        g_nDebugLevel = 0;
        CloseDiagnosticsFile();
        std::ifstream in(path);
        const std::string text((std::istreambuf_iterator<char>(in)), {});
        size_t copies = 0;
        for (size_t at = 0; (at = text.find("Subject: traced subject\n", at)) != std::string::npos;
             ++at)
            ++copies;
        EXPECT_EQ(copies, level == 4 ? 1u : 0u) << level;
        group.subscribed = false;
    }
}

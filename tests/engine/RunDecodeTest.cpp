// Whole runs that decode: single uuencoded articles, MIME articles and parts, multipart sets
// within one run and across runs, articles made by real encoders, and where files land.
#include "RunTestSupport.h"

#include <csignal>

#include <sys/resource.h>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

const std::string kDone = "Extract Complete";

// An article as stored by a newsreader: header lines, an empty line, the body.
struct StoredArticle {
    std::vector<std::string> headers, body;
};

StoredArticle LoadArticle(const std::string& name) {
    std::ifstream in(std::string(GW_FIXTURES_DIR) + "/articles/" + name, std::ios::binary);
    EXPECT_TRUE(in.good()) << name;
    StoredArticle article;
    bool inBody = false;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!inBody && line.empty())
            inBody = true;
        else
            (inBody ? article.body : article.headers).push_back(line);
    }
    return article;
}

std::string Original(const std::string& name) {
    std::ifstream in(std::string(GW_FIXTURES_DIR) + "/articles/originals/" + name,
                     std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The data lines of a file split into parts the way posting tools do it, with their banner
// lines on top of every part; the last part carries the end of the data.
std::vector<std::vector<std::string>> SplitPosting(const std::string& name, const std::string& data,
                                                   size_t parts) {
    const std::vector<std::string> lines = wire::UuData(data);
    const size_t perPart = (lines.size() + parts - 1) / parts;
    std::vector<std::vector<std::string>> bodies(parts);
    for (size_t p = 0; p < parts; ++p) {
        char banner[80];
        std::snprintf(banner, sizeof banner, "_=_ Part %03zu of %03zu of file %s", p + 1, parts,
                      name.c_str());
        bodies[p] = {"_=_ ", banner, "_=_ ", ""};
        if (p == 0)
            bodies[p].push_back("begin 644 " + name);
        for (size_t i = p * perPart; i < std::min(lines.size(), (p + 1) * perPart); ++i)
            bodies[p].push_back(lines[i]);
    }
    bodies.back().push_back("`");
    bodies.back().push_back("end");
    return bodies;
}

// Files this process writes may not grow beyond `bytes` while it exists; a write past the
// limit fails with EFBIG instead of raising SIGXFSZ.
class ScopedFileSizeLimit {
  public:
    explicit ScopedFileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{bytes, m_saved.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~ScopedFileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_handler);
    }
    ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
    ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

  private:
    rlimit m_saved{};
    void (*m_handler)(int) = nullptr;
};

} // namespace

class RunDecodeTest : public RunTest {
  protected:
    RunDecodeTest() {
        hive.SetDword("Software\\Hollowfen\\Gleanwick\\Mime", "application", 1);
        hive.SetDword("Software\\Hollowfen\\Gleanwick\\Mime", "image/gif", 0);
        settings.m_uMinLines = 1;
        settings.m_bDecodeNoLines = true;
        group = &AddGroup(*table, "alt.bin", 1);
    }

    // A stored article fetched as number n: its headers for HEAD, then its body.
    void FetchStored(uint32_t number, const std::string& name) {
        const StoredArticle article = LoadArticle(name);
        server.Expect("HEAD " + std::to_string(number))
            .Reply(wire::Block("221 " + std::to_string(number) + " <id>", article.headers));
        server.Expect("BODY").Reply(wire::Body(article.body));
    }
    void HeadStored(uint32_t number, const std::string& name) {
        const StoredArticle article = LoadArticle(name);
        server.Expect("HEAD " + std::to_string(number))
            .Reply(wire::Block("221 " + std::to_string(number) + " <id>", article.headers));
    }
    void Part(uint32_t number, const std::vector<std::string>& body) {
        server.Expect("BODY " + std::to_string(number)).Reply(wire::Body(body));
    }
    std::vector<std::string> Commands() const {
        std::vector<std::string> sent;
        for (const std::string& line : server.Transcript())
            if (line.rfind("BODY", 0) == 0)
                sent.push_back(line);
        return sent;
    }

    GroupRecord* group = nullptr;
};

// --- Single articles ---------------------------------------------------------------------------

TEST_F(RunDecodeTest, RealUuencodedArticlesDecodeByteExactAndAreNotDecodedTwice) {
    Connect();
    Group("alt.bin", 1, 2);
    FetchStored(1, "uu-single.art");
    FetchStored(2, "uu-two-files.art");
    server.Quit();
    RunToEnd();
    EXPECT_EQ(ReadFile(DecodePath("single.bin")), Original("single.bin"));
    EXPECT_EQ(ReadFile(DecodePath("odd.bin")), Original("odd.bin"));
    EXPECT_EQ(ReadFile(DecodePath("second.bin")), Original("second.bin"));
    ASSERT_EQ(articles.rows.size(), 3u);
    EXPECT_EQ(articles.rows[0].author, "poster1@example.invalid (Poster)");
    EXPECT_EQ(articles.rows[0].subject, "single.bin (1/1)");

    // The same article again: the first file stays as it is.
    group->last = 1;
    Connect();
    Group("alt.bin", 1, 1);
    FetchStored(1, "uu-two-files.art"); // different contents under the same names
    server.Quit();
    RunToEnd();
    EXPECT_THAT(log.lines,
                ElementsAre("Connecting to news.example", "Checking group alt.bin for attachments",
                            "Already decoded odd.bin", "Already decoded second.bin", kDone));
    EXPECT_EQ(ReadFile(DecodePath("odd.bin")), Original("odd.bin"));
}

TEST_F(RunDecodeTest, ShortAndBrokenUuencodedFilesAreReportedAndDeletedWhenAsked) {
    Connect();
    Group("alt.bin", 1, 2);
    FetchStored(1, "uu-truncated.art");
    FetchStored(2, "uu-bad-length.art");
    server.Quit();
    RunToEnd();
    EXPECT_THAT(log.lines,
                ElementsAre("Connecting to news.example", "Checking group alt.bin for attachments",
                            "Short file error during file decode of: single.bin",
                            "Error during file decode of: single.bin", kDone));
    EXPECT_FALSE(Exists(DecodePath("single.bin")));

    settings.m_bDeleteFails = false;
    group->last = 1;
    Connect();
    Group("alt.bin", 1, 1);
    FetchStored(1, "uu-truncated.art");
    server.Quit();
    RunToEnd();
    EXPECT_TRUE(Exists(DecodePath("single.bin")));
}

// Decoded bytes reach the file in blocks; a decode that fails part-way, with failed files kept,
// still holds every byte decoded before the failure, and none of them reaches the next file.
TEST_F(RunDecodeTest, KeptFailedDecodesHoldEveryByteBeforeTheFailure) {
    settings.m_bDeleteFails = false;
    const std::string broken = wire::Bytes(100000, 21), next = wire::Bytes(1000, 22),
                      cut = wire::Bytes(70000, 23);
    std::vector<std::string> brokenBody = wire::Uuencode("broken.bin", broken);
    brokenBody.insert(brokenBody.end() - 2, "a0000"); // a length character out of range
    std::vector<std::string> cutBody = wire::Uuencode("cut.bin", cut);
    cutBody.resize(cutBody.size() - 2); // the body ends before the data does
    Connect();
    Group("alt.bin", 1, 3);
    Fetch({1, "broken.bin (1/1)"}, brokenBody);
    Fetch({2, "next.bin (1/1)"}, wire::Uuencode("next.bin", next));
    Fetch({3, "cut.bin (1/1)"}, cutBody);
    server.Quit();
    RunToEnd();
    EXPECT_THAT(log.lines,
                ElementsAre("Connecting to news.example", "Checking group alt.bin for attachments",
                            "Error during file decode of: broken.bin",
                            "Short file error during file decode of: cut.bin", kDone));
    EXPECT_TRUE(ReadFile(DecodePath("broken.bin")) == broken);
    EXPECT_TRUE(ReadFile(DecodePath("next.bin")) == next);
    EXPECT_TRUE(ReadFile(DecodePath("cut.bin")) == cut);
}

TEST_F(RunDecodeTest, DotStuffedDataLinesDecodeAsSent) {
    // 59 bytes: the second line carries 14 bytes, so its length character is a period and
    // the server doubles it.
    const std::string data = wire::Bytes(59, 7);
    const std::vector<std::string> body = wire::Uuencode("dots.bin", data);
    ASSERT_EQ(body[2][0], '.');
    Connect();
    Group("alt.bin", 1, 1);
    Fetch({1, "dots.bin", 20}, body);
    server.Quit();
    RunToEnd();
    EXPECT_EQ(ReadFile(DecodePath("dots.bin")), data);
}

TEST_F(RunDecodeTest, FileNamesLoseTheirFoldersAndUnsafeNamesFail) {
    Connect();
    Group("alt.bin", 1, 3);
    Fetch({1, "a", 20}, wire::Uuencode("dir/sub\\pic.jpg", "jpg"));
    Fetch({2, "b", 20}, wire::Uuencode("..", "up"));
    Fetch({3, "c", 20}, {"begin 644"});
    server.Quit();
    RunToEnd();
    EXPECT_EQ(ReadFile(DecodePath("pic.jpg")), "jpg");
    EXPECT_THAT(log.lines,
                ElementsAre("Connecting to news.example", "Checking group alt.bin for attachments",
                            "Failed to create ..", "Failed to create ", kDone));
}

TEST_F(RunDecodeTest, GroupFoldersHoldTheFilesAndUnsafeGroupNamesGetNone) {
    settings.m_bGroupDirs = true;
    AddGroup(*table, "..", 1);
    Connect();
    Group("alt.bin", 1, 1);
    Fetch({1, "a", 20}, wire::Uuencode("pic.jpg", "in group"));
    Group("..", 1, 1);
    Fetch({1, "b", 20}, wire::Uuencode("escape.jpg", "out"));
    server.Quit();
    RunToEnd();
    EXPECT_EQ(ReadFile(DecodePath("alt.bin/pic.jpg")), "in group");
    EXPECT_EQ(log.lines[3], "Failed to create escape.jpg");
    EXPECT_FALSE(Exists(m_dir + "/escape.jpg"));
    EXPECT_FALSE(Exists(DecodePath("escape.jpg")));
}

// --- MIME ----------------------------------------------------------------------------------------

TEST_F(RunDecodeTest, RealMimeArticlesDecodeByteExact) {
    Connect();
    Group("alt.bin", 1, 3);
    FetchStored(1, "mime-named.art");
    FetchStored(2, "mpack-multipart.art");
    FetchStored(3, "mime-raw.art");
    server.Quit();
    RunToEnd();
    EXPECT_EQ(ReadFile(DecodePath("named.bin")), Original("named.bin"));
    EXPECT_EQ(ReadFile(DecodePath("mime.bin")), Original("mime.bin"));
    // A raw text part keeps its line ends.
    EXPECT_EQ(ReadFile(DecodePath("text.txt")), Original("text.txt"));
    EXPECT_EQ(log.lines.back(), kDone);
}

TEST_F(RunDecodeTest, MimePartsFollowTheirHeadersAndTheTypeTable) {
    const std::string one = wire::Bytes(100, 1), two = wire::Bytes(101, 2);
    std::vector<std::string> body{"preamble", "--b", "Content-Type: image/jpeg; name=\"one.jpg\"",
                                  "Content-Transfer-Encoding: base64", ""};
    for (const std::string& line : wire::Base64(one, 20))
        body.push_back(line);
    body.insert(body.end(), {"--b", "Content-Type: image/png", "Content-Transfer-Encoding: base64",
                             "Content-Disposition: attachment; filename=\"two two.png\"", ""});
    for (const std::string& line : wire::Base64(two, 13)) // groups split over lines
        body.push_back(line);
    body.insert(body.end(),
                {"--b", "Content-Type: image/png", "Content-Description: x",
                 "Content-Disposition: inline; filename=described.png", "", "QUJD", "--b",
                 "Content-Type: image/gif; name=ignored.gif", "", "QUJD", "--b--"});
    Connect();
    Group("alt.bin", 1, 1);
    Fetch({1, "images", 50, "a@b.c", {"Content-Type: multipart/mixed; boundary=b"}}, body);
    server.Quit();
    RunToEnd();
    EXPECT_EQ(ReadFile(DecodePath("one.jpg")), one);
    EXPECT_EQ(ReadFile(DecodePath("two two.png")), two);
    EXPECT_FALSE(Exists(DecodePath("described.png")));
    EXPECT_FALSE(Exists(DecodePath("ignored.gif")));
    EXPECT_EQ(articles.rows.size(), 2u);
}

TEST_F(RunDecodeTest, RefusedBodyOfANamedMimeArticleRemovesItsFile) {
    Connect();
    Group("alt.bin", 1, 2);
    Head({1, "x", 50, "a@b.c", {"Content-Type: application/zip; name=\"a.zip\""}});
    server.Expect("BODY").Reply("430 no such article");
    Fetch({2, "y", 50, "a@b.c", {"Content-Type: application/zip; name=\"b.zip\""}},
          {"Content-Transfer-Encoding: 7bit", "text", "..dotted"});
    server.Quit();
    RunToEnd();
    EXPECT_FALSE(Exists(DecodePath("a.zip")));
    EXPECT_EQ(ReadFile(DecodePath("b.zip")), "text\n..dotted\n");
}

// --- Multipart sets -----------------------------------------------------------------------------

TEST_F(RunDecodeTest, SetArrivingOutOfOrderWithBannersIsDecodedInPartOrder) {
    const std::string data = wire::Bytes(45 * 30 + 7, 3);
    const auto parts = SplitPosting("set.bin", data, 3);
    Connect();
    Group("alt.bin", 1, 3);
    Head({1, "set.bin (3/3)", 10});
    Head({2, "set.bin (1/3)", 10});
    Head({3, "set.bin (2/3)", 10});
    Part(2, parts[0]);
    Part(3, parts[1]);
    Part(1, parts[2]);
    server.Quit();
    RunToEnd();
    EXPECT_EQ(ReadFile(DecodePath("set.bin")), data);
    EXPECT_THAT(progress.multipart, ElementsAre("1/3", "2/3", "3/3"));
    EXPECT_THAT(group->pending, IsEmpty());
    EXPECT_EQ(log.lines.back(), kDone);
}

// What a hostile server sends cannot make the pending parts take memory without bound: huge
// subjects are kept short yet still group into the right sets, and a group keeps at most so
// many parts, dropping the oldest.
TEST_F(RunDecodeTest, PendingPartsStayBoundedAndHugeSubjectsStillGroup) {
    const std::string data = wire::Bytes(45 * 20, 5);
    const auto parts = SplitPosting("huge.bin", data, 2);
    const std::string name(1 << 20, 'n');
    Connect();
    Group("alt.bin", 1, 3);
    const std::string tail = " " + std::string(1 << 20, 't');
    Head({1, name + " (2/2)" + tail, 10, std::string(1 << 20, 'f')});
    Head({2, name + "x (1/2)" + tail, 10}); // another set whose name only starts the same
    Head({3, name + " (1/2)" + tail, 10});
    Part(3, parts[0]);
    Part(1, parts[1]);
    server.Quit();
    RunToEnd();
    EXPECT_EQ(ReadFile(DecodePath("huge.bin")), data);
    EXPECT_THAT(group->pending, ElementsAre(2u));

    const uint32_t beyond = CExtractionRun::kMaxPendingParts + 2;
    group->last = 0;
    group->pending.clear();
    log.lines.clear();
    Connect();
    Group("alt.bin", 1, beyond);
    for (uint32_t n = 1; n <= beyond; ++n)
        Head({n, "set" + std::to_string(n) + " (1/2)", 10});
    server.Quit();
    RunToEnd();
    ASSERT_EQ(group->pending.size(), CExtractionRun::kMaxPendingParts);
    EXPECT_EQ(*std::min_element(group->pending.begin(), group->pending.end()), 3u);
    EXPECT_EQ(std::count(log.lines.begin(), log.lines.end(),
                         "Too many pending parts in alt.bin: the oldest is dropped."),
              2);
}

// Decoded bytes are held back while a body arrives and written when the connection waits for
// the server; a write that fails then ends the decode at the next data line.
TEST_F(RunDecodeTest, HeldBackBytesAreWrittenWhileTheServerIsAwaited) {
    const std::string data = wire::Bytes(45 * 30 + 7, 3);
    const auto parts = SplitPosting("set.bin", data, 3); // 11 data lines in each of the first two
    const auto playSet = [&](std::string& seenAfterFirst) {
        Connect();
        Group("alt.bin", 1, 3);
        Head({1, "set.bin (1/3)", 10});
        Head({2, "set.bin (2/3)", 10});
        Head({3, "set.bin (3/3)", 10});
        Part(1, parts[0]);
        server.Expect("BODY 2").Then([&] {
            run->OnIdle();
            // Until the set is complete its file has a temporary name only.
            EXPECT_FALSE(std::filesystem::exists(DecodePath("set.bin")));
            const std::vector<std::string> partFiles = PartFilePaths();
            ASSERT_EQ(partFiles.size(), 1u);
            seenAfterFirst = ReadFile(partFiles[0]);
        });
    };

    std::string afterFirst;
    playSet(afterFirst);
    server.Reply(wire::Body(parts[1]));
    Part(3, parts[2]);
    server.Quit();
    RunToEnd();
    EXPECT_EQ(afterFirst, data.substr(0, 11 * 45));
    EXPECT_EQ(ReadFile(DecodePath("set.bin")), data);

    // Files may grow to 100 bytes only: the write while idle fails.
    std::filesystem::remove(DecodePath("set.bin"));
    group->last = 0;
    log.lines.clear();
    {
        const ScopedFileSizeLimit limit(100);
        playSet(afterFirst);
        server.Reply(wire::Body(parts[1]));
        server.Quit();
        RunToEnd();
    }
    EXPECT_THAT(log.lines,
                ElementsAre("Connecting to news.example", "Checking group alt.bin for attachments",
                            "Error during file decode of: set.bin", kDone));
    EXPECT_FALSE(Exists(DecodePath("set.bin")));
}

TEST_F(RunDecodeTest, RealSplitPostingDecodesAndATruncatedLastPartIsShort) {
    Connect();
    Group("alt.bin", 1, 4);
    HeadStored(1, "uuenview-multi-2of2-truncated.art");
    HeadStored(2, "uuenview-multi-1of2.art");
    HeadStored(3, "uuenview-multi-2of2.art");
    HeadStored(4, "uuenview-multi-1of2.art");
    // The set was posted twice under one subject: each slot takes the part that came first.
    Part(2, LoadArticle("uuenview-multi-1of2.art").body);
    Part(1, LoadArticle("uuenview-multi-2of2-truncated.art").body);
    server.Quit();
    RunToEnd();
    EXPECT_THAT(log.lines,
                ElementsAre("Connecting to news.example", "Checking group alt.bin for attachments",
                            "Short file error during file decode of: multi.bin", kDone));
    EXPECT_FALSE(Exists(DecodePath("multi.bin")));

    group->last = 1;
    Connect();
    Group("alt.bin", 1, 2);
    HeadStored(1, "uuenview-multi-2of2.art");
    HeadStored(2, "uuenview-multi-1of2.art");
    Part(2, LoadArticle("uuenview-multi-1of2.art").body);
    Part(1, LoadArticle("uuenview-multi-2of2.art").body);
    server.Quit();
    RunToEnd();
    EXPECT_EQ(ReadFile(DecodePath("multi.bin")), Original("multi.bin"));
}

// yEnc articles made by real encoders (uuenview -y, sabyenc) and by hand, through whole runs:
// the good ones decode byte-exact, the broken ones fail as their fault requires.
TEST_F(RunDecodeTest, RealYencArticlesDecodeOrFailAsTheyShould) {
    Connect();
    Group("alt.bin", 1, 8);
    FetchStored(1, "yenc-single.art");
    FetchStored(2, "yenc-saby-128.art");
    FetchStored(3, "yenc-edges.art");
    HeadStored(4, "yenc-multi-3of3.art");
    HeadStored(5, "yenc-multi-1of3.art");
    HeadStored(6, "yenc-multi-2of3.art");
    FetchStored(7, "yenc-bad-crc.art");
    HeadStored(8, "yenc-multi-2of3-bad-range.art");
    Part(5, LoadArticle("yenc-multi-1of3.art").body);
    Part(6, LoadArticle("yenc-multi-2of3.art").body);
    Part(4, LoadArticle("yenc-multi-3of3.art").body);
    server.Quit();
    RunToEnd();
    EXPECT_EQ(ReadFile(DecodePath("yenc-single.bin")), Original("yenc-single.bin"));
    EXPECT_EQ(ReadFile(DecodePath("yenc-saby.bin")), Original("yenc-saby.bin"));
    EXPECT_EQ(ReadFile(DecodePath("yenc-edges.bin")), Original("yenc-edges.bin"));
    EXPECT_EQ(ReadFile(DecodePath("yenc-multi.bin")), Original("yenc-multi.bin"));
    // The repost of part 2 with a bad range came last: the first copy was fetched, the set's
    // parts left the list with it.
    EXPECT_THAT(group->pending, IsEmpty());
    EXPECT_THAT(log.lines,
                ElementsAre("Connecting to news.example", "Checking group alt.bin for attachments",
                            "Already decoded yenc-single.bin", kDone));

    // Each broken one in a run of its own, after the good file is gone.
    std::filesystem::remove(DecodePath("yenc-single.bin"));
    std::filesystem::remove(DecodePath("yenc-multi.bin"));
    const std::pair<const char*, const char*> broken[] = {
        {"yenc-bad-crc.art", "Error during file decode of: yenc-single.bin"},
        {"yenc-bad-size.art", "Error during file decode of: yenc-single.bin"}};
    for (const auto& [article, message] : broken) {
        log.lines.clear();
        group->last = 1;
        Connect();
        Group("alt.bin", 1, 1);
        FetchStored(1, article);
        server.Quit();
        RunToEnd();
        EXPECT_EQ(log.lines.at(2), message) << article;
        EXPECT_FALSE(Exists(DecodePath("yenc-single.bin"))) << article;
    }
    log.lines.clear();
    group->last = 1;
    Connect();
    Group("alt.bin", 1, 3);
    HeadStored(1, "yenc-multi-1of3.art");
    HeadStored(2, "yenc-multi-2of3-bad-range.art");
    HeadStored(3, "yenc-multi-3of3.art");
    Part(1, LoadArticle("yenc-multi-1of3.art").body);
    Part(2, LoadArticle("yenc-multi-2of3-bad-range.art").body);
    server.Quit();
    RunToEnd();
    EXPECT_EQ(log.lines.at(2), "Error during file decode of: yenc-multi.bin");
    EXPECT_FALSE(Exists(DecodePath("yenc-multi.bin")));
}

TEST_F(RunDecodeTest, SetCompletedInALaterRunIsFetchedInPartOrder) {
    const std::string data = wire::Bytes(45 * 9, 4);
    const auto parts = SplitPosting("late.bin", data, 3);
    Connect();
    Group("alt.bin", 1, 3);
    Head({1, "late.bin (1/3)", 10});
    Head({2, "other", 0});
    Head({3, "late.bin (3/3)", 10});
    server.Quit();
    RunToEnd();
    EXPECT_THAT(group->pending, ElementsAre(1u, 3u));
    EXPECT_EQ(group->last, 4u);
    EXPECT_EQ(ReadFile(m_dir + "/news.example.newsrc"), "alt.bin: 4 1 3\n");

    Connect();
    Group("alt.bin", 1, 4);
    Head({3, "late.bin (3/3)", 10});
    Head({1, "late.bin (1/3)", 10});
    Head({4, "late.bin (2/3)", 10});
    Part(1, parts[0]);
    Part(4, parts[1]);
    Part(3, parts[2]);
    server.Quit();
    RunToEnd();
    EXPECT_EQ(ReadFile(DecodePath("late.bin")), data);
    EXPECT_THAT(group->pending, IsEmpty());
    EXPECT_EQ(group->last, 5u);
}

TEST_F(RunDecodeTest, AdjacentSetsAreBothDecodedAndDotsInSkippedRestsDoNotEndThem) {
    const std::string a = wire::Bytes(200, 5), b = wire::Bytes(300, 6);
    auto partsA = SplitPosting("a.bin", a, 2);
    const auto partsB = SplitPosting("b.bin", b, 2);
    // After the end of the data the rest of the body is skipped; a line "." in it arrives
    // dot-stuffed and must not end the body.
    partsA[1].insert(partsA[1].end(), {".", "-- ", "signature"});
    Connect();
    Group("alt.bin", 1, 4);
    Head({1, "a.bin (1/2)", 10});
    Head({2, "b.bin (2/2)", 10});
    Head({3, "a.bin (2/2)", 10});
    Head({4, "b.bin (1/2)", 10});
    Part(1, partsA[0]);
    Part(3, partsA[1]);
    Part(4, partsB[0]);
    Part(2, partsB[1]);
    server.Quit();
    RunToEnd();
    EXPECT_EQ(ReadFile(DecodePath("a.bin")), a);
    EXPECT_EQ(ReadFile(DecodePath("b.bin")), b);
}

TEST_F(RunDecodeTest, RunsWithPartsOutsideTheSetStayPending) {
    // Parts of one name but different totals belong to different sets, each incomplete; a
    // part posted twice does not stand in for a missing one.
    Connect();
    Group("alt.bin", 1, 7);
    Head({1, "x (1/2)", 10});
    Head({2, "x (2/3)", 10});
    Head({3, "x (3/4)", 10});
    Head({4, "y (1/1000000000)", 10});
    Head({5, "y (2/1000000000)", 10});
    Head({6, "z (2/2)", 10});
    Head({7, "z (2/2)", 10}); // a repost: part 1 is still missing
    server.Quit();
    RunToEnd();
    EXPECT_THAT(Commands(), IsEmpty());
    EXPECT_THAT(group->pending, ElementsAre(1u, 2u, 3u, 4u, 5u, 6u, 7u));
}

// Files whose subjects agree in front of the identifier are told apart by the text after it;
// a pending number that the walk comes to again is read and kept once.
TEST_F(RunDecodeTest, SetsOfOnePrefixStayApartAndPendingNumbersAreReadOnce) {
    const std::string a = wire::Bytes(45 * 6, 21), b = wire::Bytes(45 * 6 + 4, 22);
    const auto aParts = SplitPosting("a.bin", a, 2), bParts = SplitPosting("b.bin", b, 2);
    AddGroup(*table, "alt.two", 5, {7, 7});
    Connect();
    Group("alt.bin", 1, 4);
    Head({1, "(1/2) a.bin", 10});
    Head({2, "(1/2) b.bin", 10});
    Head({3, "(2/2) a.bin", 10});
    Head({4, "(2/2) b.bin", 10});
    Part(1, aParts[0]);
    Part(3, aParts[1]);
    Part(2, bParts[0]);
    Part(4, bParts[1]);
    Group("alt.two", 1, 8);
    Head({7, "c.bin (1/2)", 10});
    Head({5, "text", 0}); // the walk starts at the stored number itself
    Head({6, "text", 0});
    Head({8, "text", 0});
    server.Quit();
    RunToEnd();
    EXPECT_EQ(ReadFile(DecodePath("a.bin")), a);
    EXPECT_EQ(ReadFile(DecodePath("b.bin")), b);
    const GroupRecord& two = table->GetAt(1);
    EXPECT_EQ(two.last, 9u);
    EXPECT_THAT(two.pending, ElementsAre(7u));
}

TEST_F(RunDecodeTest, RefusedOrFailingPartsEndTheSetAndTheNextOneFollows) {
    const std::string data = wire::Bytes(45 * 4, 8);
    const auto parts = SplitPosting("ok.bin", data, 2);
    Connect();
    Group("alt.bin", 1, 6);
    Head({1, "gone.bin (1/2)", 10});
    Head({2, "gone.bin (2/2)", 10});
    Head({3, "later.bin (1/2)", 10});
    Head({4, "later.bin (2/2)", 10});
    Head({5, "ok.bin (1/2)", 10});
    Head({6, "ok.bin (2/2)", 10});
    server.Expect("BODY 1").Reply("430 gone"); // first part refused: nothing made
    Part(3, {"begin 644 later.bin", wire::UuData(wire::Bytes(90, 9))[0]});
    server.Expect("BODY 4").Reply("430 gone"); // later part refused: file removed
    Part(5, parts[0]);
    Part(6, parts[1]);
    server.Quit();
    RunToEnd();
    EXPECT_FALSE(Exists(DecodePath("later.bin")));
    EXPECT_EQ(ReadFile(DecodePath("ok.bin")), data);
    EXPECT_THAT(Commands(), ElementsAre("BODY 1", "BODY 3", "BODY 4", "BODY 5", "BODY 6"));
    EXPECT_THAT(group->pending, IsEmpty());
}

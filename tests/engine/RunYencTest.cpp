// Whole runs with yEnc: single files found by the body scan, multipart sets fetched as sets,
// and every check of the keyword lines failing the decode as a broken uuencoded file would.
#include "RunTestSupport.h"
#include "support/YencEncoder.h"

#include <functional>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

const std::string kDone = "Extract Complete";

// Each character minus `by`, modulo 256: plain yEnc characters by 42, escaped ones by 106.
std::string Shifted(const std::string& text, int by) {
    std::string bytes;
    for (const unsigned char c : text)
        bytes += static_cast<char>(c - by);
    return bytes;
}

std::string DecodeError(const std::string& name) {
    return "Error during file decode of: " + name;
}
std::string ShortError(const std::string& name) {
    return "Short file error during file decode of: " + name;
}

// The bodies of a file posted as `count` parts of about equal size.
std::vector<std::vector<std::string>> YencParts(const std::string& name, const std::string& data,
                                                int count, int lineLength = 128) {
    std::vector<std::vector<std::string>> bodies;
    const size_t each = (data.size() + static_cast<size_t>(count) - 1) / static_cast<size_t>(count);
    for (int part = 1; part <= count; ++part) {
        const size_t begin = static_cast<size_t>(part - 1) * each;
        const size_t end = std::min(data.size(), begin + each);
        bodies.push_back(YencPartBody(name, data, part, count, begin + 1, end, lineLength));
    }
    return bodies;
}

// The line of `body` that starts with `keyword`, to be changed by a test.
std::string& KeywordLine(std::vector<std::string>& body, const std::string& keyword) {
    for (std::string& line : body)
        if (line.rfind(keyword, 0) == 0)
            return line;
    ADD_FAILURE() << "no " << keyword;
    static std::string none;
    return none;
}

// Replaces the value of `key` on a keyword line ("size=", "crc32=", ...).
void SetValue(std::string& line, const std::string& key, const std::string& value) {
    const size_t at = line.find(" " + key);
    ASSERT_NE(at, std::string::npos) << line;
    const size_t start = at + 1 + key.size();
    const size_t end = std::min(line.find(' ', start), line.size());
    line.replace(start, end - start, value);
}

void RemoveValue(std::string& line, const std::string& key) {
    const size_t at = line.find(" " + key);
    ASSERT_NE(at, std::string::npos) << line;
    const size_t end = std::min(line.find(' ', at + 1), line.size());
    line.erase(at, end - at);
}

} // namespace

class RunYencTest : public RunTest {
  protected:
    RunYencTest() {
        settings.m_uMinLines = 1;
        settings.m_bDecodeNoLines = true;
        group = &AddGroup(*table, "alt.bin", 1);
    }
    void Part(uint32_t number, const std::vector<std::string>& body) {
        server.Expect("BODY " + std::to_string(number)).Reply(wire::Body(body));
    }
    // The log after connecting and checking the group.
    std::vector<std::string> LogTail() const {
        if (log.lines.size() < 2)
            return log.lines;
        return {log.lines.begin() + 2, log.lines.end()};
    }

    GroupRecord* group = nullptr;
};

// --- Single files ------------------------------------------------------------------------------

TEST_F(RunYencTest, SingleFilesDecodeAmongTextAndOtherEncodings) {
    const std::string a = wire::Bytes(5000, 1), b = wire::Bytes(700, 2), u = wire::Bytes(90, 3);
    std::vector<std::string> body{"Here it is:", ""};
    for (std::string& line : YencSingleBody("  a b.bin  ", a, 997))
        body.push_back(std::move(line));
    body.push_back("and the other one");
    for (std::string& line : wire::Uuencode("u.bin", u))
        body.push_back(std::move(line));
    Connect();
    Group("alt.bin", 1, 4);
    Fetch({1, "two files", 40}, body);
    // "1 of 1" with part and range lines, as some encoders write single files.
    Fetch({2, "\"b.bin\" yEnc (1/1)", 10}, YencPartBody("b.bin", b, 1, 1, 1, b.size()));
    // Made by hand: escapes at both ends of a line, a data line starting with "." (stuffed on
    // the wire), an "=" escaping "=", a lone "=" at a line's end, and no CRC in the trailer.
    Fetch({3, "hand made", 10},
          {"=ybegin line=128 size=8 name=hand.bin", "=@.AB=", ".==", "=}=J", "=yend size=8"});
    // A part of a set outside its set, and a begin line that does not parse, are passed over.
    Fetch({4, "stray", 10},
          {"=ybegin part=2 total=3 line=128 size=10 name=stray.bin", "=ypart begin=5 end=9",
           "=ybegin line=128 name=noname.bin", "=ybegin size=x name=bad.bin"});
    server.Quit();
    RunToEnd();
    EXPECT_EQ(ReadFile(DecodePath("a b.bin")), a);
    EXPECT_EQ(ReadFile(DecodePath("u.bin")), u);
    EXPECT_EQ(ReadFile(DecodePath("b.bin")), b);
    EXPECT_EQ(ReadFile(DecodePath("hand.bin")),
              Shifted("@", 106) + Shifted(".AB.", 42) + Shifted("=}J", 106));
    EXPECT_FALSE(Exists(DecodePath("stray.bin")));
    EXPECT_FALSE(Exists(DecodePath("noname.bin")));
    EXPECT_THAT(LogTail(), ElementsAre(kDone));
    ASSERT_EQ(articles.rows.size(), 4u);
    EXPECT_EQ(articles.rows[0].fileName, "a b.bin");
    EXPECT_EQ(articles.rows[1].fileName, "u.bin");
}

TEST_F(RunYencTest, SingleFileChecksFailTheDecode) {
    const std::string data = wire::Bytes(3000, 4);
    const auto body = [&data](const std::string& name) { return YencSingleBody(name, data); };
    std::vector<std::string> crc = body("crc.bin"), size = body("size.bin"),
                             header = body("header.bin"), cut = body("cut.bin"),
                             data1 = body("data.bin"), kept = body("kept.bin");
    SetValue(KeywordLine(crc, "=yend"), "crc32=", "deadbeef");
    SetValue(KeywordLine(size, "=yend"), "size=", "2999");
    SetValue(KeywordLine(header, "=ybegin"), "size=", "3001");
    cut.pop_back(); // no trailer
    data1.erase(data1.begin() + 3);
    SetValue(KeywordLine(kept, "=yend"), "crc32=", "1");
    settings.m_bDeleteFails = true;
    Connect();
    Group("alt.bin", 1, 5);
    Fetch({1, "crc.bin", 40}, crc);
    Fetch({2, "size.bin", 40}, size);
    Fetch({3, "header.bin", 40}, header);
    Fetch({4, "cut.bin", 40}, cut);
    Fetch({5, "data.bin", 40}, data1);
    server.Quit();
    RunToEnd();
    EXPECT_THAT(LogTail(), ElementsAre(DecodeError("crc.bin"), DecodeError("size.bin"),
                                       DecodeError("header.bin"), ShortError("cut.bin"),
                                       DecodeError("data.bin"), kDone));
    for (const char* name : {"crc.bin", "size.bin", "header.bin", "cut.bin", "data.bin"})
        EXPECT_FALSE(Exists(DecodePath(name))) << name;
    EXPECT_THAT(PartFilePaths(), IsEmpty());

    // Kept when failed files are kept, with every byte decoded.
    settings.m_bDeleteFails = false;
    group->last = 1;
    Connect();
    Group("alt.bin", 1, 1);
    Fetch({1, "kept.bin", 40}, kept);
    server.Quit();
    RunToEnd();
    EXPECT_EQ(ReadFile(DecodePath("kept.bin")), data);
}

// --- Multipart sets ----------------------------------------------------------------------------

TEST_F(RunYencTest, SetsDecodeInAnyArrivalOrderWithTodaysSubjects) {
    const std::string a = wire::Bytes(20000, 5), b = wire::Bytes(9001, 6), c = wire::Bytes(777, 7);
    auto aParts = YencParts("a.bin", a, 3);
    auto bParts = YencParts("b.part01.rar", b, 2, 3000);
    auto cParts = YencParts("c.bin", c, 2);
    // A banner in front of a later part's header; an older encoder without totals.
    aParts[1].insert(aParts[1].begin(), {"posted by a tool", ""});
    for (auto& body : cParts)
        RemoveValue(KeywordLine(body, "=ybegin"), "total=");
    Connect();
    Group("alt.bin", 1, 7);
    Head({1, "\"a.bin\" yEnc (3/3)", 100});
    Head({2, "[1/2] - \"b.part01.rar\" yEnc (02/02) 9001 bytes", 100});
    Head({3, "\"a.bin\" yEnc (1/3)", 100});
    Head({4, "[1/2] - \"b.part01.rar\" yEnc (01/02) 9001 bytes", 100});
    Head({5, "\"a.bin\" yEnc (2/3)", 100});
    Head({6, "c.bin (1/2) yEnc", 100});
    Head({7, "c.bin (2/2) yEnc", 100});
    Part(3, aParts[0]);
    Part(5, aParts[1]);
    Part(1, aParts[2]);
    Part(4, bParts[0]);
    Part(2, bParts[1]);
    Part(6, cParts[0]);
    Part(7, cParts[1]);
    server.Quit();
    RunToEnd();
    EXPECT_EQ(ReadFile(DecodePath("a.bin")), a);
    EXPECT_EQ(ReadFile(DecodePath("b.part01.rar")), b);
    EXPECT_EQ(ReadFile(DecodePath("c.bin")), c);
    EXPECT_THAT(LogTail(), ElementsAre(kDone));
    EXPECT_THAT(group->pending, IsEmpty());
    EXPECT_THAT(progress.multipart, ElementsAre("1/3", "2/3", "3/3", "1/2", "2/2", "1/2", "2/2"));
}

// A collection: the "[k/K]" counter names each file's set, so sets never merge even where
// every file has as many parts as the next.
TEST_F(RunYencTest, CollectionFilesStayApart) {
    std::vector<std::string> files;
    Connect();
    Group("alt.bin", 1, 6);
    for (uint32_t file = 1; file <= 3; ++file)
        for (uint32_t part = 1; part <= 2; ++part)
            Head({(file - 1) * 2 + part,
                  "[" + std::to_string(file) + "/3] - \"set.part" + std::to_string(file) +
                      ".rar\" yEnc (" + std::to_string(part) + "/2) 3000 bytes",
                  100});
    for (uint32_t file = 1; file <= 3; ++file) {
        files.push_back(wire::Bytes(3000, 10 + file));
        const auto parts = YencParts("set.part" + std::to_string(file) + ".rar", files.back(), 2);
        Part(file * 2 - 1, parts[0]);
        Part(file * 2, parts[1]);
    }
    server.Quit();
    RunToEnd();
    for (uint32_t file = 1; file <= 3; ++file)
        EXPECT_EQ(ReadFile(DecodePath("set.part" + std::to_string(file) + ".rar")),
                  files[file - 1]);
}

// Each part is checked on its own; one that fails fails the file, and the next set follows.
TEST_F(RunYencTest, APartThatFailsItsCheckFailsTheFile) {
    const std::string data = wire::Bytes(6000, 8), ok = wire::Bytes(1000, 9);
    struct Case {
        const char* name;
        std::function<void(std::vector<std::vector<std::string>>&)> spoil;
        bool shortFile = false;
    };
    const Case cases[] = {
        {"pcrc.bin", [](auto& p) { SetValue(KeywordLine(p[1], "=yend"), "pcrc32=", "0"); }},
        {"crc.bin", [](auto& p) { SetValue(KeywordLine(p[2], "=yend"), "crc32=", "abc"); }},
        {"number.bin", [](auto& p) { SetValue(KeywordLine(p[1], "=yend"), "part=", "3"); }},
        {"range.bin", [](auto& p) { SetValue(KeywordLine(p[1], "=ypart"), "begin=", "2002"); }},
        {"end.bin", [](auto& p) { SetValue(KeywordLine(p[1], "=ypart"), "end=", "4001"); }},
        {"psize.bin", [](auto& p) { SetValue(KeywordLine(p[1], "=yend"), "size=", "1999"); }},
        {"other.bin",
         [](auto& p) { SetValue(KeywordLine(p[1], "=ybegin"), "name=", "another.bin"); }},
        {"noline.bin", [](auto& p) { p[1].erase(p[1].begin() + 1); }},
        {"cut.bin", [](auto& p) { p[1].pop_back(); }, true},
    };
    settings.m_bDeleteFails = true;
    for (const Case& c : cases) {
        log.lines.clear();
        group->last = 1;
        auto parts = YencParts(c.name, data, 3);
        c.spoil(parts);
        const auto okParts = YencParts("a.bin", ok, 2);
        Connect();
        Group("alt.bin", 1, 5);
        Head({1, std::string(c.name) + " yEnc (1/3)", 100});
        Head({2, std::string(c.name) + " yEnc (2/3)", 100});
        Head({3, std::string(c.name) + " yEnc (3/3)", 100});
        Head({4, "a.bin yEnc (1/2)", 100});
        Head({5, "a.bin yEnc (2/2)", 100});
        // The sets in the order of their names: a.bin first.
        Part(4, okParts[0]);
        Part(5, okParts[1]);
        Part(1, parts[0]);
        Part(2, parts[1]);
        if (std::string(c.name) == "crc.bin") // spoiled in its last part
            Part(3, parts[2]);
        server.Quit();
        RunToEnd();
        EXPECT_THAT(LogTail(),
                    ElementsAre(c.shortFile ? ShortError(c.name) : DecodeError(c.name), kDone))
            << c.name;
        EXPECT_FALSE(Exists(DecodePath(c.name))) << c.name;
        EXPECT_EQ(ReadFile(DecodePath("a.bin")), ok) << c.name;
        std::filesystem::remove(DecodePath("a.bin"));
    }
}

// A body that is not the first part of the set its subject names (another file under a like
// subject) is passed over without a message; the set is not fetched further.
TEST_F(RunYencTest, AFirstPartOfAnotherSetIsPassedOver) {
    const std::string data = wire::Bytes(2000, 10);
    auto parts = YencParts("x.bin", data, 2);
    SetValue(KeywordLine(parts[0], "=ybegin"), "total=", "5");
    Connect();
    Group("alt.bin", 1, 2);
    Head({1, "x.bin yEnc (1/2)", 100});
    Head({2, "x.bin yEnc (2/2)", 100});
    Part(1, parts[0]);
    server.Quit();
    RunToEnd();
    EXPECT_THAT(LogTail(), ElementsAre(kDone));
    EXPECT_FALSE(Exists(DecodePath("x.bin")));
    EXPECT_THAT(PartFilePaths(), IsEmpty());
}

// A set missing a part stays pending across runs and is fetched when the part arrives.
TEST_F(RunYencTest, ASetCompletesInALaterRun) {
    const std::string data = wire::Bytes(10000, 11);
    const auto parts = YencParts("late.bin", data, 3);
    Connect();
    Group("alt.bin", 1, 2);
    Head({1, "\"late.bin\" yEnc (1/3)", 100});
    Head({2, "\"late.bin\" yEnc (3/3)", 100});
    server.Quit();
    RunToEnd();
    EXPECT_THAT(group->pending, ElementsAre(1u, 2u));
    EXPECT_FALSE(Exists(DecodePath("late.bin")));

    Connect();
    Group("alt.bin", 1, 4);
    Head({2, "\"late.bin\" yEnc (3/3)", 100});
    Head({1, "\"late.bin\" yEnc (1/3)", 100});
    Head({3, "\"late.bin\" yEnc (2/3)", 100});
    Head({4, "text", 0});
    Part(1, parts[0]);
    Part(3, parts[1]);
    Part(2, parts[2]);
    server.Quit();
    RunToEnd();
    EXPECT_EQ(ReadFile(DecodePath("late.bin")), data);
    EXPECT_THAT(group->pending, IsEmpty());
    EXPECT_EQ(group->last, 5u);
}

// Every line of a set's bodies arriving through the general dispatch and through the fast path
// gives the same file: lines that look like keywords but are data are decoded as data.
TEST_F(RunYencTest, DataLinesThatLookLikeKeywords) {
    std::vector<std::string> body{"=ybegin line=128 size=4 name=kw.bin", "=ybe", "=y",
                                  "=yend size=4"};
    Connect();
    Group("alt.bin", 1, 1);
    Fetch({1, "kw.bin", 10}, body);
    server.Quit();
    RunToEnd();
    EXPECT_EQ(ReadFile(DecodePath("kw.bin")),
              Shifted("y", 106) + Shifted("be", 42) + Shifted("y", 106));
}

// A file of two parts cut at every offset (an empty part at either end included): the
// ranges, sizes and CRCs of both parts and of the file hold wherever the cut falls.
TEST_F(RunYencTest, TwoPartsCutAtEveryOffset) {
    const std::string data = wire::Bytes(300, 12);
    for (size_t cut = 0; cut <= data.size(); ++cut) {
        group->last = 1;
        Connect();
        Group("alt.bin", 1, 2);
        Head({1, "\"cut.bin\" yEnc (1/2)", 10});
        Head({2, "\"cut.bin\" yEnc (2/2)", 10});
        Part(1, YencPartBody("cut.bin", data, 1, 2, 1, cut, 40));
        Part(2, YencPartBody("cut.bin", data, 2, 2, cut + 1, data.size(), 40));
        server.Quit();
        RunToEnd();
        ASSERT_EQ(ReadFile(DecodePath("cut.bin")), data) << cut;
        ASSERT_THAT(LogTail(), ElementsAre(kDone)) << cut;
        std::filesystem::remove(DecodePath("cut.bin"));
    }
}

// Decodes articles made by real encoders (tests/fixtures/articles, see make-fixtures.sh) with
// the engine's building blocks and compares the results byte for byte with the originals.
#include "engine/Base64Decoder.h"
#include "engine/HeaderParsing.h"
#include "engine/Uudecoder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <vector>

namespace {

const std::string kFolder = std::string(GW_FIXTURES_DIR) + "/articles/";

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << path;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> ReadLines(const std::string& name) {
    std::vector<std::string> lines;
    const std::string text = ReadFile(kFolder + name);
    for (size_t pos = 0; pos < text.size();) {
        size_t end = text.find('\n', pos);
        end = end == std::string::npos ? text.size() : end;
        lines.push_back(text.substr(pos, end - pos));
        if (!lines.back().empty() && lines.back().back() == '\r')
            lines.back().pop_back();
        pos = end + 1;
    }
    return lines;
}

enum class Outcome { Complete, Short, Error };

struct DecodedFile {
    std::string bytes;
    Outcome outcome = Outcome::Short;
};

// A small body scanner: begin lines and MIME parts, as an article's lines arrive. Later
// articles of a multipart set go on with the file the first one opened.
class Driver {
  public:
    void Article(const std::string& fileName) {
        const std::vector<std::string> lines = ReadLines(fileName);
        size_t i = 0;
        std::string type, name;
        for (; i < lines.size() && !lines[i].empty(); ++i) {
            if (lines[i].starts_with("Content-Type: "))
                ParseContentType(lines[i], type, name, m_boundary);
        }
        if (!name.empty())
            StartMime(name);
        for (++i; i < lines.size(); ++i)
            Line(lines[i]);
        if (m_mode == Mode::Mime)
            m_mode = Mode::Scan; // the article's end closes a MIME file
    }

    // The next article is a later part of the set being decoded.
    void NextPart() {
        if (m_mode == Mode::Uu)
            m_mode = Mode::LaterPart;
    }

    std::map<std::string, DecodedFile> files;

  private:
    enum class Mode { Scan, Uu, LaterPart, Mime };

    void StartMime(const std::string& name) {
        m_current = &files[name];
        m_current->outcome = Outcome::Complete;
        m_mode = Mode::Mime;
        m_undetermined = true;
    }

    void Line(const std::string& line) {
        switch (m_mode) {
        case Mode::Scan:
            return ScanLine(line);
        case Mode::LaterPart:
            if (!CouldBeUuencodedData(line))
                return; // banner lines of a later part
            m_mode = Mode::Uu;
            [[fallthrough]];
        case Mode::Uu:
            return UuLine(line);
        case Mode::Mime:
            return MimeLine(line);
        }
    }

    void ScanLine(const std::string& line) {
        if (line.starts_with("begin ")) {
            m_current = &files[ParseBeginLine(line)];
            m_mode = Mode::Uu;
        } else if (line.starts_with("Content-Type: ")) {
            std::string type, name;
            ParseContentType(line, type, name, m_boundary);
            if (!name.empty())
                StartMime(name);
        }
    }

    void UuLine(const std::string& line) {
        switch (UudecodeDataLine(line, m_current->bytes)) {
        case UuLineResult::EndOfData:
            m_current->outcome = Outcome::Complete;
            m_mode = Mode::Scan;
            return;
        case UuLineResult::Error:
            m_current->outcome = Outcome::Error;
            m_mode = Mode::Scan;
            return;
        default:
            return;
        }
    }

    void MimeLine(const std::string& line) {
        if (m_undetermined) {
            m_decoder.Reset();
            m_raw = IsRawTransferEncoding(line);
            m_undetermined = false;
        }
        if (line.starts_with("Content-") || line.empty())
            return;
        if (!m_boundary.empty() && line.starts_with(m_boundary)) {
            m_mode = Mode::Scan;
            return;
        }
        if (m_raw)
            m_current->bytes.append(line).append("\n");
        else
            m_decoder.DecodeLine(line, m_current->bytes);
    }

    Mode m_mode = Mode::Scan;
    DecodedFile* m_current = nullptr;
    std::string m_boundary;
    bool m_undetermined = false;
    bool m_raw = false;
    Base64Decoder m_decoder;
};

std::string Original(const std::string& name) {
    return ReadFile(kFolder + "originals/" + name);
}

void ExpectComplete(const Driver& driver, const std::string& name) {
    ASSERT_EQ(driver.files.count(name), 1u) << name;
    const DecodedFile& file = driver.files.at(name);
    EXPECT_EQ(file.outcome, Outcome::Complete) << name;
    EXPECT_TRUE(file.bytes == Original(name)) << name << ": decoded bytes differ";
}

// The decoded bytes are a proper start of the original.
void ExpectCut(const Driver& driver, const std::string& name, Outcome outcome) {
    ASSERT_EQ(driver.files.count(name), 1u) << name;
    const DecodedFile& file = driver.files.at(name);
    const std::string original = Original(name);
    EXPECT_EQ(file.outcome, outcome) << name;
    EXPECT_LT(file.bytes.size(), original.size()) << name;
    EXPECT_TRUE(original.starts_with(file.bytes)) << name;
}

TEST(ArticleFixtureTest, UuencodedArticles) {
    Driver driver;
    driver.Article("uu-single.art");
    driver.Article("uu-two-files.art");
    driver.Article("uu-empty.art");
    EXPECT_EQ(driver.files.size(), 4u);
    for (const char* name : {"single.bin", "odd.bin", "second.bin", "empty.bin"})
        ExpectComplete(driver, name);
}

TEST(ArticleFixtureTest, MultipartSetIntoOneFile) {
    Driver driver;
    driver.Article("uuenview-multi-1of2.art");
    EXPECT_EQ(driver.files["multi.bin"].outcome, Outcome::Short);
    driver.NextPart();
    driver.Article("uuenview-multi-2of2.art");
    ExpectComplete(driver, "multi.bin");
}

TEST(ArticleFixtureTest, MimeArticles) {
    Driver driver;
    driver.Article("mpack-multipart.art");
    driver.Article("mime-named.art");
    driver.Article("mime-raw.art");
    EXPECT_EQ(driver.files.size(), 3u);
    for (const char* name : {"mime.bin", "named.bin", "text.txt"})
        ExpectComplete(driver, name);
}

TEST(ArticleFixtureTest, BrokenArticles) {
    Driver truncated;
    truncated.Article("uu-truncated.art");
    ExpectCut(truncated, "single.bin", Outcome::Short);

    Driver shortLine;
    shortLine.Article("uu-short-line.art");
    ExpectCut(shortLine, "single.bin", Outcome::Error);
    EXPECT_EQ(shortLine.files["single.bin"].bytes.size(), 4u * 45);

    Driver badLength;
    badLength.Article("uu-bad-length.art");
    ExpectCut(badLength, "single.bin", Outcome::Error);

    Driver lastPartCut;
    lastPartCut.Article("uuenview-multi-1of2.art");
    lastPartCut.NextPart();
    lastPartCut.Article("uuenview-multi-2of2-truncated.art");
    ExpectCut(lastPartCut, "multi.bin", Outcome::Short);

    Driver mimeCut;
    mimeCut.Article("mpack-truncated.art");
    ExpectCut(mimeCut, "mime.bin", Outcome::Complete);
}

} // namespace

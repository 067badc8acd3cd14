// Articles made by real encoders (tests/fixtures/articles, see make-fixtures.sh), decoded
// with the engine's building blocks and compared byte for byte with the originals.
#include "engine/Base64Decoder.h"
#include "engine/HeaderParsing.h"
#include "engine/Uudecoder.h"

#include "ArticleFixtures.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

namespace {

using fixtures::kFolder;
using fixtures::ReadFile;

enum class Outcome { Complete, Short, Error };

struct DecodedFile {
    std::string bytes;
    Outcome outcome = Outcome::Short;
};

// A minimal body scan over an article's lines: begin lines and named MIME parts. With
// laterPart, the article goes on with the uuencoded file the previous one left open.
class Driver {
  public:
    void Article(const std::string& fileName, bool laterPart = false) {
        std::istringstream lines(ReadFile(kFolder + fileName));
        std::string line, type, name;
        while (std::getline(lines, line) && !line.empty()) {
            if (line.starts_with("Content-Type: "))
                ParseContentType(line, type, name, m_boundary);
        }
        if (!name.empty())
            StartMime(name);
        m_skipBanner = laterPart;
        while (std::getline(lines, line))
            Line(line);
        if (m_mode == Mode::Mime)
            m_mode = Mode::Scan; // the article's end closes a MIME file
    }

    std::map<std::string, DecodedFile> files;

  private:
    void StartMime(const std::string& name) {
        m_file = &files[name];
        m_file->outcome = Outcome::Complete;
        m_mode = Mode::Mime;
        m_undetermined = true;
    }

    void Line(const std::string& line) {
        std::string type, name;
        if (m_mode == Mode::Scan && line.starts_with("begin ")) {
            m_file = &files[ParseBeginLine(line)];
            m_mode = Mode::Uu;
        } else if (m_mode == Mode::Scan && line.starts_with("Content-Type: ")) {
            ParseContentType(line, type, name, m_boundary);
            if (!name.empty())
                StartMime(name);
        } else if (m_mode == Mode::Uu && !(m_skipBanner && !CouldBeUuencodedData(line))) {
            m_skipBanner = false;
            UuLine(line);
        } else if (m_mode == Mode::Mime) {
            MimeLine(line);
        }
    }

    void UuLine(const std::string& line) {
        ByteBuffer decoded;
        const UuLineResult result = UudecodeDataLine(line, decoded);
        m_file->bytes += decoded.View();
        if (result == UuLineResult::EndOfData || result == UuLineResult::Error) {
            m_file->outcome = result == UuLineResult::Error ? Outcome::Error : Outcome::Complete;
            m_mode = Mode::Scan;
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
        if (!m_boundary.empty() && line.starts_with(m_boundary))
            m_mode = Mode::Scan;
        else if (m_raw)
            m_file->bytes.append(line).append("\n");
        else {
            ByteBuffer decoded;
            m_decoder.DecodeLine(line, decoded);
            m_file->bytes += decoded.View();
        }
    }

    enum class Mode { Scan, Uu, Mime } m_mode = Mode::Scan;
    DecodedFile* m_file = nullptr;
    std::string m_boundary;
    bool m_undetermined = false, m_raw = false, m_skipBanner = false;
    Base64Decoder m_decoder;
};

std::string Original(const std::string& name) {
    return ReadFile(kFolder + "originals/" + name);
}

void ExpectComplete(const Driver& driver, const std::string& name) {
    ASSERT_EQ(driver.files.count(name), 1u) << name;
    EXPECT_EQ(driver.files.at(name).outcome, Outcome::Complete) << name;
    EXPECT_TRUE(driver.files.at(name).bytes == Original(name)) << name << ": bytes differ";
}

// The decoded bytes are a proper start of the original.
void ExpectCut(const Driver& driver, const std::string& name, Outcome outcome) {
    ASSERT_EQ(driver.files.count(name), 1u) << name;
    const DecodedFile& file = driver.files.at(name);
    EXPECT_EQ(file.outcome, outcome) << name;
    EXPECT_LT(file.bytes.size(), Original(name).size()) << name;
    EXPECT_TRUE(Original(name).starts_with(file.bytes)) << name;
}

TEST(ArticleFixtureTest, WholeArticlesDecodeByteExact) {
    Driver driver;
    for (const char* article : {"uu-single.art", "uu-two-files.art", "uu-empty.art",
                                "mpack-multipart.art", "mime-named.art", "mime-raw.art"})
        driver.Article(article);
    EXPECT_EQ(driver.files.size(), 7u);
    for (const char* name :
         {"single.bin", "odd.bin", "second.bin", "empty.bin", "mime.bin", "named.bin", "text.txt"})
        ExpectComplete(driver, name);
}

TEST(ArticleFixtureTest, MultipartSetIntoOneFile) {
    Driver driver;
    driver.Article("uuenview-multi-1of2.art");
    EXPECT_EQ(driver.files["multi.bin"].outcome, Outcome::Short);
    driver.Article("uuenview-multi-2of2.art", true);
    ExpectComplete(driver, "multi.bin");
}

TEST(ArticleFixtureTest, BrokenArticles) {
    Driver truncated, shortLine, badLength, lastPartCut, mimeCut;
    truncated.Article("uu-truncated.art");
    ExpectCut(truncated, "single.bin", Outcome::Short);
    shortLine.Article("uu-short-line.art");
    ExpectCut(shortLine, "single.bin", Outcome::Error);
    EXPECT_EQ(shortLine.files["single.bin"].bytes.size(), 4u * 45);
    badLength.Article("uu-bad-length.art");
    ExpectCut(badLength, "single.bin", Outcome::Error);
    lastPartCut.Article("uuenview-multi-1of2.art");
    lastPartCut.Article("uuenview-multi-2of2-truncated.art", true);
    ExpectCut(lastPartCut, "multi.bin", Outcome::Short);
    mimeCut.Article("mpack-truncated.art");
    ExpectCut(mimeCut, "mime.bin", Outcome::Complete); // MIME has no short-file check
}

} // namespace

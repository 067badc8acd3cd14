#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "RunFakes.h"
#include "ScriptedConnection.h"
#include "engine/CExtractionRun.h"
#include "engine/OutputFile.h"
#include "options/CSettings.h"
#include "platform/CHive.h"
#include "platform/CProfile.h"
#include "servers/CGroupTable.h"

// Wire-format helpers: articles as a news server sends them.
namespace wire {

// Deterministic bytes of every value, so that decoders see all of them.
inline std::string Bytes(size_t size, uint32_t seed) {
    std::string data(size, '\0');
    for (char& c : data) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 16);
    }
    return data;
}

inline char UuChar(unsigned value) {
    return value == 0 ? '`' : static_cast<char>(value + 32);
}

// The data lines of a uuencoded file (45 bytes a line), without begin and end.
inline std::vector<std::string> UuData(const std::string& data) {
    std::vector<std::string> lines;
    for (size_t pos = 0; pos < data.size(); pos += 45) {
        const size_t n = std::min<size_t>(45, data.size() - pos);
        std::string line(1, UuChar(static_cast<unsigned>(n)));
        for (size_t i = 0; i < n; i += 3) {
            unsigned char b[3] = {0, 0, 0};
            for (size_t k = 0; k < 3 && i + k < n; ++k)
                b[k] = static_cast<unsigned char>(data[pos + i + k]);
            line += UuChar(b[0] >> 2);
            line += UuChar(((b[0] & 3) << 4) | (b[1] >> 4));
            line += UuChar(((b[1] & 15) << 2) | (b[2] >> 6));
            line += UuChar(b[2] & 63);
        }
        lines.push_back(line);
    }
    return lines;
}

inline std::vector<std::string> Uuencode(const std::string& name, const std::string& data) {
    std::vector<std::string> lines{"begin 644 " + name};
    for (std::string& line : UuData(data))
        lines.push_back(std::move(line));
    lines.push_back("`");
    lines.push_back("end");
    return lines;
}

inline std::vector<std::string> Base64(const std::string& data, size_t perLine = 76) {
    static const char* alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (size_t i = 0; i < data.size(); i += 3) {
        const size_t n = std::min<size_t>(3, data.size() - i);
        uint32_t v = 0;
        for (size_t k = 0; k < 3; ++k)
            v = (v << 8) | (k < n ? static_cast<unsigned char>(data[i + k]) : 0u);
        text += alphabet[(v >> 18) & 63];
        text += alphabet[(v >> 12) & 63];
        text += n > 1 ? alphabet[(v >> 6) & 63] : '=';
        text += n > 2 ? alphabet[v & 63] : '=';
    }
    std::vector<std::string> lines;
    for (size_t pos = 0; pos < text.size(); pos += perLine)
        lines.push_back(text.substr(pos, perLine));
    return lines;
}

// A multi-line reply: status line, the lines dot-stuffed, and the closing ".".
inline std::vector<std::string> Block(const std::string& status,
                                      const std::vector<std::string>& lines) {
    std::vector<std::string> reply{status};
    for (const std::string& line : lines)
        reply.push_back(!line.empty() && line[0] == '.' ? "." + line : line);
    reply.push_back(".");
    return reply;
}

struct Article {
    Article(uint32_t n, std::string s, int l = 1000, std::string f = "poster@example.com",
            std::vector<std::string> e = {})
        : number(n), subject(std::move(s)), lines(l), from(std::move(f)), extra(std::move(e)) {}
    uint32_t number;
    std::string subject;
    int lines; // -1: no Lines header
    std::string from;
    std::vector<std::string> extra; // further header lines
};

inline std::vector<std::string> Head(const Article& article) {
    std::vector<std::string> headers{"From: " + article.from, "Subject: " + article.subject,
                                     "Message-ID: <" + std::to_string(article.number) +
                                         "@example.com>"};
    if (article.lines >= 0)
        headers.push_back("Lines: " + std::to_string(article.lines));
    headers.insert(headers.end(), article.extra.begin(), article.extra.end());
    return Block("221 " + std::to_string(article.number) + " <id> head", headers);
}

inline std::vector<std::string> Body(const std::vector<std::string>& lines) {
    return Block("222 0 <id> body", lines);
}

} // namespace wire

// A run with one server "news.example", a decode folder and a program folder in a fresh
// temporary folder, default settings, a MIME table extracting images and text, and a
// scripted server.
class RunTest : public ::testing::Test {
  protected:
    static constexpr const char* kServer = "news.example";

    RunTest() {
        char pattern[] = "/tmp/gw-run-XXXXXX";
        m_dir = mkdtemp(pattern);
        setenv("GLEANWICK_HOME", m_dir.c_str(), 1);
        setenv("TZ", "UTC", 1);
        tzset();
        settings.m_DecodeDir = m_dir + "/Decodes/";
        hive.SetDword("Software\\Hollowfen\\Gleanwick\\Mime", "image", 1);
        hive.SetDword("Software\\Hollowfen\\Gleanwick\\Mime", "text/plain", 1);
        table = &AddServer(kServer);
        run = std::make_unique<CExtractionRun>(profile, servers, settings, kills, server.Factory(),
                                               log, articles, progress, host, m_dir + "/");
        run->SetClock([this] { return now; });
    }
    ~RunTest() override {
        run.reset();
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }

    CGroupTable& AddServer(const std::string& name) {
        // The script plays one connection, one command and its reply at a time.
        profile.WriteProfileInt("Servers\\" + name, "Connections", 1);
        profile.WriteProfileInt("Servers\\" + name, "Pipeline Depth", 1);
        servers.push_back(std::make_unique<CGroupTable>(profile, name));
        return *servers.back();
    }
    GroupRecord& AddGroup(CGroupTable& into, const std::string& name, uint32_t last,
                          std::vector<uint32_t> pending = {}, bool subscribed = true) {
        auto record = std::make_unique<GroupRecord>();
        record->name = name;
        record->last = last;
        record->pending = std::move(pending);
        record->subscribed = subscribed;
        return into.Append(std::move(record));
    }

    // Connection, greeting and MODE READER for a server without login.
    void Connect(const std::string& name = kServer) {
        server.Accept(name).Reply("200 " + name + " ready").Expect("MODE READER").Reply("200 ok");
    }
    void Group(const std::string& name, uint32_t first, uint32_t last) {
        server.Expect("GROUP " + name)
            .Reply("211 " + std::to_string(last - first + 1) + " " + std::to_string(first) + " " +
                   std::to_string(last) + " " + name);
    }
    void Head(const wire::Article& article) {
        server.Expect("HEAD " + std::to_string(article.number)).Reply(wire::Head(article));
    }
    // An article whose body the run is expected to fetch.
    void Fetch(const wire::Article& article, const std::vector<std::string>& body) {
        Head(article);
        server.Expect("BODY").Reply(wire::Body(body));
    }

    void RunToEnd(int mode = 0) {
        run->StartOrStop(mode);
        server.Play(*run);
        EXPECT_TRUE(server.Done());
    }

    std::string DecodePath(const std::string& name) const { return settings.m_DecodeDir + name; }
    // The files of the decode folder that are still being written (temporary names).
    std::vector<std::string> PartFilePaths() const {
        std::vector<std::string> paths;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(settings.m_DecodeDir, error))
            if (OutputFile::IsTemporaryName(entry.path().filename().string()))
                paths.push_back(entry.path().string());
        return paths;
    }
    static std::string ReadFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    static bool Exists(const std::string& path) { return std::filesystem::exists(path); }
    std::vector<std::string> LogFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(m_dir))
            if (entry.path().extension() == ".log")
                names.push_back(entry.path().filename().string());
        return names;
    }

    std::string m_dir;
    CHive hive;
    CProfile profile{hive};
    ServerTableList servers;
    CSettings settings;
    std::vector<KillRule> kills;
    FakeLogList log;
    FakeArticleList articles;
    FakeProgressPanel progress;
    FakeRunHost host;
    ScriptedServer server;
    CGroupTable* table = nullptr;
    std::unique_ptr<CExtractionRun> run;
    std::time_t now = 1796586434; // 6 December 2026 19:47:14 UTC
};

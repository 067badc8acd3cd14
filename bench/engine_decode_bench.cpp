// Decoding throughput of a whole extraction run, in process: a 200 MB file uuencoded with
// uuencode and posted as a multipart set, the same file yEnc-encoded and posted as a multipart
// set of 768,000-byte parts, and the same size base64-encoded with base64 and posted as one
// MIME article, fed line by line through a scripted connection into a temporary decode
// folder. Prints MB/s of encoded input, user CPU seconds and peak RSS, and the same figures
// for uudecode, the SIMD yEnc decoder of python3-sabyenc and base64 -d on the same encoded
// files.
//
// Usage: engine_decode_bench [megabytes]   (default 200)
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
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
#include "tests/support/NullRunPanes.h"
#include "tests/support/YencEncoder.h"

extern char** environ;

namespace {

constexpr size_t kLinesPerPart = 5000;
constexpr size_t kYencLineLength = 128;
constexpr size_t kYencPartBytes = kYencLineLength * 6000;

// The yardstick: sabyenc3's decode_usenet_chunks on each part's body as a news server sends
// it (CR LF, dot-stuffed, ending in "."), the decoded bytes written to a file. Only the decode
// and the write are timed; the script prints their wall and CPU seconds.
constexpr const char* kSabyencScript = R"(
import resource, sys, time, sabyenc3
source, target = sys.argv[1], sys.argv[2]
parts, part = [], None
for line in open(source, "rb"):
    if line.startswith(b"=ybegin "):
        part = []
        parts.append(part)
    line = line.rstrip(b"\n")
    part.append((b"." + line if line.startswith(b".") else line) + b"\r\n")
wall = cpu = 0.0
with open(target, "wb") as out:
    for lines in parts:
        body = b"".join(lines) + b".\r\n"
        chunks = [body[i:i + 65536] for i in range(0, len(body), 65536)]
        start, used = time.perf_counter(), resource.getrusage(resource.RUSAGE_SELF)
        data, name, crc_ok = sabyenc3.decode_usenet_chunks(chunks)
        out.write(data)
        done = resource.getrusage(resource.RUSAGE_SELF)
        wall += time.perf_counter() - start
        cpu += done.ru_utime - used.ru_utime
        if not crc_ok:
            sys.exit("CRC error in " + name)
print(wall, cpu)
)";

struct Figures {
    double wallSeconds = 0;
    double userSeconds = 0;
    double systemSeconds = 0;
    long peakRssKb = 0;
};

double UserSeconds(const rusage& usage) {
    return static_cast<double>(usage.ru_utime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec) / 1e6;
}

double SystemSeconds(const rusage& usage) {
    return static_cast<double>(usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_stime.tv_usec) / 1e6;
}

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Random bytes written in 1 MiB blocks, so the generator holds no more than that.
void WriteRandomFile(const std::string& path, size_t bytes) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) {
        std::perror(path.c_str());
        std::exit(1);
    }
    std::vector<uint64_t> block(1 << 17);
    uint64_t state = 0x9E3779B97F4A7C15ull;
    for (size_t written = 0; written < bytes;) {
        for (uint64_t& word : block) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            word = state;
        }
        const size_t n = std::min(bytes - written, block.size() * sizeof(uint64_t));
        std::fwrite(block.data(), 1, n, out);
        written += n;
    }
    std::fclose(out);
}

// Runs a program with its standard output sent to a file; its own user time and peak RSS.
Figures RunTool(std::vector<std::string> args, const std::string& output) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const double start = Now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "cannot run %s\n", argv[0]);
        std::exit(1);
    }
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    Figures figures{Now() - start, UserSeconds(usage), SystemSeconds(usage), usage.ru_maxrss};
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", argv[0]);
        std::exit(1);
    }
    return figures;
}

// Reads a text file line by line through a fixed buffer.
class LineReader {
  public:
    explicit LineReader(const std::string& path) : m_file(std::fopen(path.c_str(), "rb")) {}
    ~LineReader() {
        if (m_file)
            std::fclose(m_file);
    }
    bool Next(std::string& line) {
        line.clear();
        for (;;) {
            if (m_pos == m_fill && !Refill())
                return !line.empty();
            const char* start = m_buffer.data() + m_pos;
            const void* end = std::memchr(start, '\n', m_fill - m_pos);
            if (end != nullptr) {
                const size_t n = static_cast<const char*>(end) - start;
                line.append(start, n);
                m_pos += n + 1;
                return true;
            }
            line.append(start, m_fill - m_pos);
            m_pos = m_fill;
        }
    }

  private:
    bool Refill() {
        m_pos = 0;
        m_fill = m_file ? std::fread(m_buffer.data(), 1, m_buffer.size(), m_file) : 0;
        return m_fill > 0;
    }
    std::FILE* m_file;
    std::vector<char> m_buffer = std::vector<char>(1 << 20);
    size_t m_pos = 0, m_fill = 0;
};

// A reply: lines produced on demand, so that a body is never held in memory.
using Reply = std::function<bool(std::string&)>;

Reply Lines(std::vector<std::string> lines) {
    auto state = std::make_shared<std::pair<std::vector<std::string>, size_t>>(std::move(lines), 0);
    return [state](std::string& line) {
        if (state->second == state->first.size())
            return false;
        line = state->first[state->second++];
        return true;
    };
}

// The news server of the benchmark: one group whose articles the caller describes.
class BenchServer {
  public:
    std::function<Reply(const std::string&)> answer; // reply to a command

    void Queue(Reply reply) { m_replies.push_back(std::move(reply)); }
    void Play(CSocketOwnerWnd& owner) {
        std::string line;
        while (!m_replies.empty()) {
            if (!m_replies.front()(line)) {
                m_replies.pop_front();
                continue;
            }
            owner.OnResponseLine(line);
        }
    }

  private:
    std::deque<Reply> m_replies;
};

class BenchConnection : public INewsConnection {
  public:
    explicit BenchConnection(BenchServer& server) : m_server(server) {}
    void Start() override { m_server.Queue(Lines({"200 bench ready"})); }
    void SendLine(std::string_view line) override {
        m_server.Queue(m_server.answer(std::string(line)));
    }
    void Close() override {}

  private:
    BenchServer& m_server;
};

struct QuietLog : ILogList {
    std::vector<std::string> lines;
    void AddLine(const std::string& text) override { lines.push_back(text); }
    void ResetContent() override { lines.clear(); }
};

// A body streamed from a file: lines [first, first + count) of the reader, dot-stuffed.
Reply Body(std::shared_ptr<LineReader> reader, size_t count, bool toEnd) {
    auto state = std::make_shared<int>(0); // 0 status, 1 lines, 2 done
    auto left = std::make_shared<size_t>(count);
    return [=](std::string& line) {
        if (*state == 0) {
            line = "222 0 <body>";
            *state = 1;
            return true;
        }
        if (*state == 1 && (toEnd || *left > 0) && reader->Next(line)) {
            --*left;
            if (!line.empty() && line[0] == '.')
                line.insert(0, 1, '.');
            return true;
        }
        if (*state == 2)
            return false;
        *state = 2;
        line = ".";
        return true;
    };
}

// Feeds one run over the group's articles and returns its figures.
Figures RunEngine(const std::string& folder, BenchServer& server, uint32_t articles) {
    CHive hive;
    hive.SetDword("Software\\Hollowfen\\Gleanwick\\Mime", "application", 1);
    CProfile profile(hive);
    ServerTableList servers;
    servers.push_back(std::make_unique<CGroupTable>(profile, "bench.example"));
    auto group = std::make_unique<GroupRecord>();
    group->name = "alt.bench";
    group->subscribed = true;
    servers.back()->Append(std::move(group));
    CSettings settings;
    settings.m_DecodeDir = folder + "/decoded/";
    std::vector<KillRule> kills;
    QuietLog log;
    NullArticleList articleList;
    NullProgressPanel progress;
    NullRunHost host;
    auto baseAnswer = server.answer;
    server.answer = [&](const std::string& command) -> Reply {
        if (command == "MODE READER")
            return Lines({"200 ok"});
        if (command.rfind("GROUP ", 0) == 0)
            return Lines({"211 " + std::to_string(articles) + " 1 " + std::to_string(articles) +
                          " alt.bench"});
        return baseAnswer(command);
    };
    CExtractionRun run(
        profile, servers, settings, kills,
        [&](const std::string&, CSocketOwnerWnd&) {
            return std::make_unique<BenchConnection>(server);
        },
        log, articleList, progress, host, folder + "/");

    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    const double start = Now();
    run.StartOrStop(0);
    server.Play(run);
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    Figures figures{Now() - start, UserSeconds(after) - UserSeconds(before),
                    SystemSeconds(after) - SystemSeconds(before), after.ru_maxrss};
    for (const std::string& line : log.lines)
        if (line.rfind("Error", 0) == 0 || line.rfind("Short", 0) == 0 ||
            line.rfind("Failed", 0) == 0)
            std::fprintf(stderr, "engine: %s\n", line.c_str());
    return figures;
}

bool SameFiles(const std::string& a, const std::string& b) {
    std::FILE* left = std::fopen(a.c_str(), "rb");
    std::FILE* right = std::fopen(b.c_str(), "rb");
    bool same = left != nullptr && right != nullptr;
    std::vector<char> x(1 << 20), y(1 << 20);
    while (same) {
        const size_t n = std::fread(x.data(), 1, x.size(), left);
        same = std::fread(y.data(), 1, y.size(), right) == n &&
               std::memcmp(x.data(), y.data(), n) == 0;
        if (n == 0)
            break;
    }
    for (std::FILE* file : {left, right})
        if (file != nullptr)
            std::fclose(file);
    return same;
}

// The file as yEnc parts, one body after the other, with LF line ends, as a conformant encoder
// writes them; returns the number of lines of each body. Reads and encodes one part at a time.
std::vector<size_t> WriteYencParts(const std::string& data, const std::string& path) {
    std::FILE* in = std::fopen(data.c_str(), "rb");
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (in == nullptr || out == nullptr) {
        std::perror(path.c_str());
        std::exit(1);
    }
    const uint64_t size = std::filesystem::file_size(data);
    const uint64_t total = (size + kYencPartBytes - 1) / kYencPartBytes;
    std::string piece(kYencPartBytes, '\0');
    std::vector<size_t> counts;
    uint32_t fileCrc = 0;
    for (uint64_t part = 1; part <= total; ++part) {
        const uint64_t begin = (part - 1) * kYencPartBytes;
        const uint64_t end = std::min<uint64_t>(size, begin + kYencPartBytes);
        piece.resize(end - begin);
        if (std::fread(piece.data(), 1, piece.size(), in) != piece.size())
            std::exit(1);
        const uint32_t partCrc = Crc32Update(0, piece.data(), piece.size());
        fileCrc = Crc32Combine(fileCrc, partCrc, piece.size());
        std::vector<std::string> body = {
            "=ybegin part=" + std::to_string(part) + " total=" + std::to_string(total) +
                " line=" + std::to_string(kYencLineLength) + " size=" + std::to_string(size) +
                " name=bench.bin",
            "=ypart begin=" + std::to_string(begin + 1) + " end=" + std::to_string(end)};
        for (std::string& line : YencEncodeLines(piece, static_cast<int>(kYencLineLength)))
            body.push_back(std::move(line));
        body.push_back("=yend size=" + std::to_string(piece.size()) +
                       " part=" + std::to_string(part) + " pcrc32=" + YencHex(partCrc) +
                       (part == total ? " crc32=" + YencHex(fileCrc) : ""));
        for (const std::string& line : body) {
            std::fwrite(line.data(), 1, line.size(), out);
            std::fputc('\n', out);
        }
        counts.push_back(body.size());
    }
    std::fclose(in);
    std::fclose(out);
    return counts;
}

// The yardstick on the same parts; nullopt when Debian's python3-sabyenc is not installed.
std::optional<Figures> RunSabyenc(const std::string& folder, const std::string& encoded,
                                  const std::string& decoded) {
    const std::string python = "/usr/bin/python3";
    if (std::system((python + " -c 'import sabyenc3' 2>/dev/null").c_str()) != 0)
        return std::nullopt;
    const std::string script = folder + "/sabyenc.py";
    if (std::FILE* file = std::fopen(script.c_str(), "w")) {
        std::fputs(kSabyencScript, file);
        std::fclose(file);
    }
    const std::string times = folder + "/sabyenc.times";
    Figures figures = RunTool({python, script, encoded, decoded}, times);
    std::FILE* file = std::fopen(times.c_str(), "r");
    if (file == nullptr ||
        std::fscanf(file, "%lf %lf", &figures.wallSeconds, &figures.userSeconds) != 2)
        std::exit(1);
    std::fclose(file);
    figures.systemSeconds = 0;
    return figures;
}

void Print(const char* name, uint64_t encodedBytes, const Figures& f) {
    std::printf(
        "  %-10s %7.1f MB/s  wall %5.2f s  user %5.2f s  system %5.2f s  peak RSS %5.1f MB\n", name,
        static_cast<double>(encodedBytes) / 1e6 / f.wallSeconds, f.wallSeconds, f.userSeconds,
        f.systemSeconds, static_cast<double>(f.peakRssKb) / 1024.0);
}

} // namespace

int main(int argc, char** argv) {
    const size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 200;
    char pattern[] = "/tmp/gw-decode-bench-XXXXXX";
    const std::string folder = mkdtemp(pattern);
    setenv("GLEANWICK_HOME", folder.c_str(), 1);
    const std::string data = folder + "/data.bin";
    WriteRandomFile(data, megabytes << 20);
    RunTool({"uuencode", data, "bench.bin"}, folder + "/data.uu");
    RunTool({"base64", data}, folder + "/data.b64");
    const uint64_t uuBytes = std::filesystem::file_size(folder + "/data.uu");
    const uint64_t b64Bytes = std::filesystem::file_size(folder + "/data.b64");
    rusage start{};
    getrusage(RUSAGE_SELF, &start);
    std::printf("%zu MB of random data; peak RSS before the runs %.1f MB\n", megabytes,
                static_cast<double>(start.ru_maxrss) / 1024.0);

    // The uuencoded file as a multipart set: the begin line and kLinesPerPart data lines per
    // part, the last part with the end of the data.
    const size_t dataLines = (static_cast<size_t>(megabytes << 20) + 44) / 45;
    const uint32_t parts = static_cast<uint32_t>((dataLines + kLinesPerPart - 1) / kLinesPerPart);
    BenchServer uuServer;
    auto uuReader = std::make_shared<LineReader>(folder + "/data.uu");
    uuServer.answer = [&](const std::string& command) -> Reply {
        const uint32_t number =
            static_cast<uint32_t>(std::strtoul(command.c_str() + 5, nullptr, 10));
        if (command.rfind("HEAD ", 0) == 0)
            return Lines({"221 " + std::to_string(number) + " <h>", "From: bench@example.com",
                          "Subject: bench.bin (" + std::to_string(number) + "/" +
                              std::to_string(parts) + ")",
                          "Lines: 5000", "."});
        // Part 1 also carries the begin line; the last part runs to the end of the file.
        return Body(uuReader, kLinesPerPart + (number == 1 ? 1 : 0), number == parts);
    };
    const Figures uuEngine = RunEngine(folder, uuServer, parts);
    std::filesystem::rename(folder + "/decoded/bench.bin", folder + "/engine-uu.bin");

    const std::vector<size_t> yencLines = WriteYencParts(data, folder + "/data.yenc");
    const uint64_t yencBytes = std::filesystem::file_size(folder + "/data.yenc");
    const auto yencParts = static_cast<uint32_t>(yencLines.size());
    BenchServer yencServer;
    auto yencReader = std::make_shared<LineReader>(folder + "/data.yenc");
    yencServer.answer = [&](const std::string& command) -> Reply {
        const uint32_t number =
            static_cast<uint32_t>(std::strtoul(command.c_str() + 5, nullptr, 10));
        if (command.rfind("HEAD ", 0) == 0)
            return Lines({"221 " + std::to_string(number) + " <h>", "From: bench@example.com",
                          "Subject: \"bench.bin\" yEnc (" + std::to_string(number) + "/" +
                              std::to_string(yencParts) + ")",
                          "Lines: 6003", "."});
        return Body(yencReader, yencLines[number - 1], false);
    };
    const Figures yencEngine = RunEngine(folder, yencServer, yencParts);
    std::filesystem::rename(folder + "/decoded/bench.bin", folder + "/engine-yenc.bin");

    BenchServer b64Server;
    auto b64Reader = std::make_shared<LineReader>(folder + "/data.b64");
    b64Server.answer = [&](const std::string& command) -> Reply {
        if (command.rfind("HEAD ", 0) == 0)
            return Lines({"221 1 <h>", "From: bench@example.com", "Subject: bench.bin",
                          "Lines: 5000",
                          "Content-Type: application/octet-stream; name=\"bench.bin\"", "."});
        return Body(b64Reader, 0, true);
    };
    const Figures b64Engine = RunEngine(folder, b64Server, 1);
    std::filesystem::rename(folder + "/decoded/bench.bin", folder + "/engine-b64.bin");

    std::filesystem::current_path(folder);
    const Figures uuTool =
        RunTool({"uudecode", "-o", folder + "/tool-uu.bin", folder + "/data.uu"}, "/dev/null");
    const Figures b64Tool =
        RunTool({"base64", "-d", folder + "/data.b64"}, folder + "/tool-b64.bin");
    const std::optional<Figures> yencTool =
        RunSabyenc(folder, folder + "/data.yenc", folder + "/tool-yenc.bin");

    const bool uuSame = SameFiles(data, folder + "/engine-uu.bin");
    const bool b64Same = SameFiles(data, folder + "/engine-b64.bin");
    const bool yencSame = SameFiles(data, folder + "/engine-yenc.bin");
    std::printf("uuencoded multipart set: %u parts, %.1f MB encoded, output %s\n", parts,
                static_cast<double>(uuBytes) / 1e6, uuSame ? "identical" : "DIFFERENT");
    Print("engine", uuBytes, uuEngine);
    Print("uudecode", uuBytes, uuTool);
    std::printf("  ratio engine/uudecode: wall %.2f, user CPU %.2f\n",
                uuEngine.wallSeconds / uuTool.wallSeconds,
                uuEngine.userSeconds / uuTool.userSeconds);
    std::printf("yEnc multipart set: %u parts, %.1f MB encoded, output %s\n", yencParts,
                static_cast<double>(yencBytes) / 1e6, yencSame ? "identical" : "DIFFERENT");
    Print("engine", yencBytes, yencEngine);
    if (yencTool) {
        std::printf("  %-10s %7.1f MB/s  wall %5.2f s  user %5.2f s  (decode and write only)%s\n",
                    "sabyenc3", static_cast<double>(yencBytes) / 1e6 / yencTool->wallSeconds,
                    yencTool->wallSeconds, yencTool->userSeconds,
                    SameFiles(data, folder + "/tool-yenc.bin") ? "" : ", output DIFFERENT");
        std::printf("  ratio engine/sabyenc3: wall %.2f, user CPU %.2f\n",
                    yencEngine.wallSeconds / yencTool->wallSeconds,
                    yencEngine.userSeconds / yencTool->userSeconds);
    } else {
        std::printf("  sabyenc3 not installed (Debian package python3-sabyenc): no yardstick\n");
    }
    std::printf("base64 MIME article: %.1f MB encoded, output %s\n",
                static_cast<double>(b64Bytes) / 1e6, b64Same ? "identical" : "DIFFERENT");
    Print("engine", b64Bytes, b64Engine);
    Print("base64 -d", b64Bytes, b64Tool);
    std::printf("  ratio engine/base64 -d: wall %.2f, user CPU %.2f\n",
                b64Engine.wallSeconds / b64Tool.wallSeconds,
                b64Engine.userSeconds / b64Tool.userSeconds);

    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return uuSame && b64Same && yencSame ? 0 : 1;
}

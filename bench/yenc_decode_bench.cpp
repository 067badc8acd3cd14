// Throughput of the yEnc line decoder and the CRC-32: random bytes yEnc-encoded in lines of 128
// and of 3000 characters, every line decoded by each decoder this processor runs and by
// YdecodeDataLine, the decoded bytes' CRC by the folding and the portable code. Figures are MB/s
// of encoded input (for the CRC, of decoded bytes), best of three rounds; beside them, the same
// article bodies (CRLF line ends, in 1 MB chunks as from a socket) decoded by python3-sabyenc's
// decode_usenet_chunks, timed inside Python.
//
// Usage: yenc_decode_bench [megabytes]   (default 200)
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "bench/BenchFigures.h"
#include "engine/Crc32.h"
#include "engine/YencDecoder.h"
#include "tests/support/YencEncoder.h"

namespace {

constexpr int kRounds = 3;
// Decoded bytes are handed on (to the file) in pieces of about this size.
constexpr size_t kFlushSize = 1 << 20;

double Now() {
    return std::chrono::duration<double, std::milli>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::string RandomBytes(size_t size) {
    std::string bytes(size, '\0');
    uint64_t state = 0x9E3779B97F4A7C15ull;
    for (char& c : bytes) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        c = static_cast<char>(state >> 32);
    }
    return bytes;
}

// The encoded lines in one block of memory, CRLF after each, as a body arrives.
struct EncodedBody {
    std::string text;
    std::vector<std::string_view> lines;
    size_t encodedSize = 0;
};

EncodedBody Encode(std::string_view bytes, int lineLength) {
    EncodedBody body;
    std::vector<size_t> starts;
    for (const std::string& line : YencEncodeLines(bytes, lineLength)) {
        starts.push_back(body.text.size());
        body.text += line;
        body.text += "\r\n";
        body.encodedSize += line.size();
    }
    for (size_t i = 0; i < starts.size(); ++i) {
        const size_t end = i + 1 < starts.size() ? starts[i + 1] : body.text.size();
        body.lines.push_back(std::string_view(body.text).substr(starts[i], end - starts[i] - 2));
    }
    return body;
}

template <class Work> Figures Measure(Work work) {
    Figures figures;
    for (int round = 0; round < kRounds; ++round) {
        const double wall = Now();
        const double cpu = CpuMs();
        work();
        figures.Keep(Now() - wall, CpuMs() - cpu);
    }
    return figures;
}

void Print(const char* what, size_t bytes, const Figures& figures) {
    std::printf("  %-28s %8.0f MB/s  (CPU %8.0f MB/s)\n", what, bytes / figures.wallMs / 1e3,
                bytes / figures.cpuMs / 1e3);
}

// Decodes every line with `decode` into a buffer handed on every kFlushSize bytes; exits when
// the bytes come out different.
template <class Decode>
Figures MeasureLines(const EncodedBody& body, std::string_view expected, Decode decode) {
    return Measure([&] {
        ByteBuffer out;
        size_t checked = 0;
        for (const std::string_view line : body.lines) {
            decode(line, out);
            if (out.Size() >= kFlushSize) {
                if (out.View() != expected.substr(checked, out.Size())) {
                    std::fprintf(stderr, "decoded bytes differ\n");
                    std::exit(1);
                }
                checked += out.Size();
                out.Clear();
            }
        }
    });
}

// What sabyenc's figure stands for: the body split at its line ends, every line decoded, the
// CRC of the decoded bytes.
Figures MeasureBody(const EncodedBody& body, uint32_t expectedCrc) {
    return Measure([&] {
        ByteBuffer out;
        uint32_t crc = 0;
        std::string_view rest = body.text;
        while (!rest.empty()) {
            const size_t end = rest.find("\r\n");
            YdecodeDataLine(rest.substr(0, end), out);
            rest.remove_prefix(end + 2);
            if (out.Size() >= kFlushSize || rest.empty()) {
                crc = Crc32Update(crc, out.Data(), out.Size());
                out.Clear();
            }
        }
        if (crc != expectedCrc) {
            std::fprintf(stderr, "the CRC differs\n");
            std::exit(1);
        }
    });
}

// sabyenc on the same body as a whole article: its best of three in milliseconds.
constexpr const char* kSabyencScript = R"(
import sabyenc3, sys, time
body = open(sys.argv[1], 'rb').read()
chunks = [body[i:i + (1 << 20)] for i in range(0, len(body), 1 << 20)]
best = 1e30
for _ in range(3):
    start = time.perf_counter()
    data, name, crc_correct = sabyenc3.decode_usenet_chunks(chunks)
    best = min(best, time.perf_counter() - start)
    if len(data) != int(sys.argv[2]) or not crc_correct:
        sys.exit('sabyenc decoded something else')
print(best * 1e3)
)";

double SabyencMs(const EncodedBody& body, std::string_view bytes, int lineLength) {
    char path[] = "/tmp/yenc_bench_XXXXXX";
    const int fd = mkstemp(path);
    const std::string head = "=ybegin line=" + std::to_string(lineLength) +
                             " size=" + std::to_string(bytes.size()) + " name=bench.bin\r\n";
    const std::string tail = "=yend size=" + std::to_string(bytes.size()) +
                             " crc32=" + YencHex(YencCrc(bytes)) + "\r\n.\r\n";
    for (const std::string_view piece :
         {std::string_view(head), std::string_view(body.text), std::string_view(tail)}) {
        if (write(fd, piece.data(), piece.size()) != static_cast<ssize_t>(piece.size()))
            std::exit(1);
    }
    close(fd);
    const std::string command = "/usr/bin/python3 -c \"$GW_SABYENC\" " + std::string(path) + " " +
                                std::to_string(bytes.size());
    setenv("GW_SABYENC", kSabyencScript, 1);
    std::FILE* python = popen(command.c_str(), "r");
    double ms = 0;
    const bool read = python != nullptr && std::fscanf(python, "%lf", &ms) == 1;
    if (python != nullptr)
        pclose(python);
    unlink(path);
    return read ? ms : 0;
}

} // namespace

int main(int argc, char** argv) {
    const size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 200;
    const std::string bytes = RandomBytes(megabytes << 20);
    const auto best = YdecodePaths().front();
    for (const int lineLength : {128, 3000}) {
        const EncodedBody body = Encode(bytes, lineLength);
        std::printf("yEnc lines of %d characters, %.0f MB encoded (%.2f %% escapes):\n", lineLength,
                    body.encodedSize / 1e6,
                    100.0 * (body.encodedSize - bytes.size()) / bytes.size());
        for (const YdecodePath& path : YdecodePaths()) {
            const Figures figures =
                MeasureLines(body, bytes, [&](std::string_view line, ByteBuffer& out) {
                    const size_t start = out.Size();
                    out.Truncate(start +
                                 path.decode(line, out.Extend(line.size() + kYdecodeOutSlack)));
                });
            Print(path.name, body.encodedSize, figures);
        }
        const Figures line = MeasureLines(body, bytes, [](std::string_view text, ByteBuffer& out) {
            YdecodeDataLine(text, out);
        });
        const std::string lineName = std::string("YdecodeDataLine (") + best.name + ")";
        Print(lineName.c_str(), body.encodedSize, line);
        const Figures whole = MeasureBody(body, YencCrc(bytes));
        Print("split + decode + CRC", body.encodedSize, whole);
        const double sabyencMs = SabyencMs(body, bytes, lineLength);
        if (sabyencMs > 0) {
            Print("sabyenc decode_usenet_chunks", body.encodedSize, Figures{sabyencMs, sabyencMs});
            std::printf(
                "  sabyenc's time / ours: YdecodeDataLine %.1f, split + decode + CRC %.1f\n",
                sabyencMs / line.wallMs, sabyencMs / whole.wallMs);
        }
    }
    std::printf("CRC-32 of %zu MB:\n", megabytes);
    uint32_t crcs[2] = {};
    Print("Crc32Update (folding)", bytes.size(),
          Measure([&] { crcs[0] = Crc32Update(0, bytes.data(), bytes.size()); }));
    Print("Crc32UpdatePortable (zlib)", bytes.size(),
          Measure([&] { crcs[1] = Crc32UpdatePortable(0, bytes.data(), bytes.size()); }));
    if (crcs[0] != crcs[1]) {
        std::fprintf(stderr, "the CRCs differ\n");
        return 1;
    }
    return 0;
}

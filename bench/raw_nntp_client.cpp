// Raw NNTP transfer rate of a news server: the GROUP / HEAD / BODY sequence that an
// extraction sends, one command at a time, with every received byte discarded. The figure
// it prints is the ceiling that a full extraction run can be compared against.
//
//   raw_nntp_client [--tls] HOST PORT GROUP [USER PASSWORD]
//
// --tls speaks TLS from the first byte (OpenSSL, the certificate not checked: a yardstick,
// not a client to trust).
//
// RAW_DEPTH=N keeps up to N commands in flight the way the run's pipeline does: the HEADs of
// the range sent ahead, each BODY sent once its HEAD's reply is in. RAW_HEADS_ONLY=1 asks for
// no bodies (a group whose articles are all passed over). RAW_CONNECTIONS=N reads the range
// over N connections at once, each logged in with the group selected, the k-th taking every
// N-th article, each with RAW_DEPTH in flight. RAW_OVERVIEW=1 first asks LIST OVERVIEW.FMT and
// reads the first XOVER block of 5000 articles, sent behind the GROUP, as the run does before the
// HEADs of a group whose overview spares none; RAW_OVERVIEW=2 reads the whole range as XOVER blocks
// (RAW_DEPTH blocks in flight) and nothing else: the articles that an overview alone passes over.
//
// Prints "bytes=N articles=N heads=N seconds=S" on one line. Exit status 0 on success.

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

constexpr int kTimeoutSeconds = 60;
constexpr size_t kBufferSize = 256 * 1024;

// One connection with a receive buffer; lines are handed out without their CR LF.
class RawConnection {
  public:
    RawConnection(const char* host, const char* port, bool tls) {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        if (getaddrinfo(host, port, &hints, &found) != 0 || found == nullptr)
            throw std::runtime_error("cannot resolve host");
        m_fd = socket(found->ai_family, found->ai_socktype, found->ai_protocol);
        const bool connected = m_fd >= 0 && connect(m_fd, found->ai_addr, found->ai_addrlen) == 0;
        freeaddrinfo(found);
        if (!connected)
            throw std::runtime_error("cannot connect");
        const timeval timeout{kTimeoutSeconds, 0};
        setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        setsockopt(m_fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
        SetFlag(TCP_NODELAY);
        m_buffer.resize(kBufferSize);
        if (tls)
            StartTls();
    }
    ~RawConnection() {
        if (m_ssl != nullptr)
            SSL_free(m_ssl);
        if (m_context != nullptr)
            SSL_CTX_free(m_context);
        close(m_fd);
    }
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;

    void SendLine(const std::string& text) {
        const std::string line = text + "\r\n";
        size_t sent = 0;
        while (sent < line.size()) {
            const ssize_t n =
                m_ssl != nullptr
                    ? SSL_write(m_ssl, line.data() + sent, static_cast<int>(line.size() - sent))
                    : send(m_fd, line.data() + sent, line.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                throw std::runtime_error("send failed");
            sent += static_cast<size_t>(n);
        }
    }

    // The next line (without CR LF); the view stays valid until the next call.
    std::string_view ReadLine() {
        for (;;) {
            const char* start = m_buffer.data() + m_begin;
            const void* lf = std::memchr(start, '\n', m_end - m_begin);
            if (lf != nullptr) {
                const size_t length = static_cast<const char*>(lf) - start;
                m_begin += length + 1;
                return {start, length > 0 && start[length - 1] == '\r' ? length - 1 : length};
            }
            Fill();
        }
    }

    uint64_t BytesReceived() const { return m_received; }

  private:
    void StartTls() {
        m_context = SSL_CTX_new(TLS_client_method());
        m_ssl = m_context != nullptr ? SSL_new(m_context) : nullptr;
        if (m_ssl == nullptr || SSL_set_fd(m_ssl, m_fd) != 1 || SSL_connect(m_ssl) != 1)
            throw std::runtime_error("TLS handshake failed");
    }

    void SetFlag(int option) {
        const int one = 1;
        setsockopt(m_fd, IPPROTO_TCP, option, &one, sizeof one);
    }

    void Fill() {
        if (m_begin > 0) {
            std::memmove(m_buffer.data(), m_buffer.data() + m_begin, m_end - m_begin);
            m_end -= m_begin;
            m_begin = 0;
        }
        if (m_end == m_buffer.size())
            m_buffer.resize(m_buffer.size() * 2); // a line longer than the buffer
        const size_t room = m_buffer.size() - m_end;
        const ssize_t n = m_ssl != nullptr
                              ? SSL_read(m_ssl, m_buffer.data() + m_end, static_cast<int>(room))
                              : recv(m_fd, m_buffer.data() + m_end, room, 0);
        if (n <= 0)
            throw std::runtime_error(n == 0 ? "connection closed" : "receive failed or timed out");
        m_end += static_cast<size_t>(n);
        m_received += static_cast<uint64_t>(n);
        // The kernel drops back to delayed acknowledgements after a while; re-arm.
        SetFlag(TCP_QUICKACK);
    }

    int m_fd = -1;
    SSL_CTX* m_context = nullptr;
    SSL* m_ssl = nullptr;
    std::vector<char> m_buffer;
    size_t m_begin = 0;
    size_t m_end = 0;
    uint64_t m_received = 0;
};

int ReplyCode(std::string_view line) {
    return line.size() >= 3 ? std::atoi(std::string(line.substr(0, 3)).c_str()) : 0;
}

int Command(RawConnection& connection, const std::string& text) {
    connection.SendLine(text);
    return ReplyCode(connection.ReadLine());
}

// Reads a multi-line reply up to the line "." and discards it.
void SkipMultiLine(RawConnection& connection) {
    for (;;) {
        const std::string_view line = connection.ReadLine();
        if (line.size() == 1 && line[0] == '.')
            return;
    }
}

struct InFlight {
    bool head;
    unsigned long number;
};

unsigned long EnvironmentNumber(const char* name, unsigned long fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::strtoul(value, nullptr, 10) : fallback;
}

struct GroupRange {
    unsigned long first = 0;
    unsigned long last = 0;
};

// `behind`, when not empty, is sent right behind the GROUP, before its reply is read.
GroupRange SelectGroup(RawConnection& connection, const std::string& group,
                       const std::string& behind = {}) {
    connection.SendLine("GROUP " + group);
    if (!behind.empty())
        connection.SendLine(behind);
    const std::string reply(connection.ReadLine());
    unsigned long count = 0;
    GroupRange range;
    if (std::sscanf(reply.c_str(), "211 %lu %lu %lu", &count, &range.first, &range.last) != 3)
        throw std::runtime_error("GROUP refused: " + reply);
    return range;
}

void Login(RawConnection& connection, int argc, char** argv) {
    if (argc < 6)
        return;
    if (Command(connection, std::string("AUTHINFO USER ") + argv[4]) != 381 ||
        Command(connection, std::string("AUTHINFO PASS ") + argv[5]) != 281)
        throw std::runtime_error("login refused");
}

struct Counts {
    uint64_t bytes = 0;
    unsigned long heads = 0;
    unsigned long articles = 0;
};

struct Options {
    const char* host;
    const char* port;
    const char* group;
    bool tls;
    int argc;
    char** argv;
    unsigned long depth;
    bool bodies;
    unsigned long overview;
};

constexpr unsigned long kOverviewBlock = 5000;

// The block the run asks for first, behind the GROUP: from the stored position, 1 here.
std::string FirstBlock(unsigned long share) {
    const unsigned long first = 1 + share * kOverviewBlock;
    return "XOVER " + std::to_string(first) + "-" + std::to_string(first + kOverviewBlock - 1);
}

// The connection's share of the range's XOVER blocks, up to `blocks` of them, the first of them
// sent already (FirstBlock) where the range begins at 1; every line counts as an article's header.
void ReadOverview(RawConnection& connection, const Options& options, const GroupRange& range,
                  unsigned long share, unsigned long step, unsigned long blocks, Counts& counts) {
    unsigned long next = (range.last != 0 ? range.first : 1) + share * kOverviewBlock;
    unsigned long inFlight = 0;
    if (next == 1 + share * kOverviewBlock && blocks > 0) {
        --blocks;
        inFlight = 1;
        next += step * kOverviewBlock;
    } else {
        // Sent for another range: read and not counted.
        if (ReplyCode(connection.ReadLine()) == 224)
            SkipMultiLine(connection);
    }
    for (;;) {
        while (inFlight < options.depth && blocks > 0 && range.last != 0 && next <= range.last) {
            --blocks;
            const unsigned long last = std::min(range.last, next + kOverviewBlock - 1);
            connection.SendLine("XOVER " + std::to_string(next) + "-" + std::to_string(last));
            ++inFlight;
            next += step * kOverviewBlock;
        }
        if (inFlight == 0)
            return;
        --inFlight;
        if (ReplyCode(connection.ReadLine()) != 224)
            throw std::runtime_error("XOVER refused");
        for (;;) {
            const std::string_view line = connection.ReadLine();
            if (line.size() == 1 && line[0] == '.')
                break;
            ++counts.heads;
        }
    }
}

// One connection's share of the group: the articles first + share, first + share + step, ...
Counts ReadShare(const Options& options, unsigned long share, unsigned long step) {
    RawConnection connection(options.host, options.port, options.tls);
    if (ReplyCode(connection.ReadLine()) / 100 != 2)
        throw std::runtime_error("no greeting");
    Login(connection, options.argc, options.argv);
    Command(connection, "MODE READER");
    // As the run: the overview's format after the login, the first block behind the GROUP. One
    // block is read once, on the first connection; the whole range is shared out.
    const bool overview = options.overview == 2 || (options.overview == 1 && share == 0);
    if (overview && Command(connection, "LIST OVERVIEW.FMT") == 215)
        SkipMultiLine(connection);
    const GroupRange range =
        SelectGroup(connection, options.group, overview ? FirstBlock(share) : std::string());
    Counts counts;
    if (overview)
        ReadOverview(connection, options, range, share, step, options.overview == 1 ? 1 : ~0ul,
                     counts);
    if (options.overview == 2) {
        connection.SendLine("QUIT");
        counts.bytes = connection.BytesReceived();
        return counts;
    }
    counts.heads = 0;
    std::deque<InFlight> inFlight;
    unsigned long next = (range.last != 0 ? range.first : 1) + share;
    for (;;) {
        while (inFlight.size() < options.depth && range.last != 0 && next <= range.last) {
            connection.SendLine("HEAD " + std::to_string(next));
            inFlight.push_back({true, next});
            next += step;
        }
        if (inFlight.empty())
            break;
        const InFlight command = inFlight.front();
        inFlight.pop_front();
        const int code = ReplyCode(connection.ReadLine());
        if (code != (command.head ? 221 : 222))
            continue;
        SkipMultiLine(connection);
        if (!command.head) {
            ++counts.articles;
            continue;
        }
        ++counts.heads;
        if (options.bodies) {
            connection.SendLine("BODY " + std::to_string(command.number));
            inFlight.push_back({false, command.number});
        }
    }
    connection.SendLine("QUIT");
    counts.bytes = connection.BytesReceived();
    return counts;
}

} // namespace

int main(int argc, char** argv) {
    const bool tls = argc > 1 && std::strcmp(argv[1], "--tls") == 0;
    if (tls) {
        --argc;
        ++argv;
    }
    if (argc != 4 && argc != 6) {
        std::fprintf(stderr, "usage: raw_nntp_client [--tls] HOST PORT GROUP [USER PASSWORD]\n");
        return 2;
    }
    const Options options{argv[1],
                          argv[2],
                          argv[3],
                          tls,
                          argc,
                          argv,
                          std::max(1ul, EnvironmentNumber("RAW_DEPTH", 1)),
                          EnvironmentNumber("RAW_HEADS_ONLY", 0) == 0,
                          EnvironmentNumber("RAW_OVERVIEW", 0)};
    const unsigned long connections = std::max(1ul, EnvironmentNumber("RAW_CONNECTIONS", 1));
    const auto start = std::chrono::steady_clock::now();
    std::vector<Counts> counts(connections);
    std::vector<std::string> errors(connections);
    std::vector<std::thread> threads;
    for (unsigned long k = 0; k < connections; ++k)
        threads.emplace_back([&, k] {
            try {
                counts[k] = ReadShare(options, k, connections);
            } catch (const std::exception& e) {
                errors[k] = e.what();
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    Counts total;
    for (unsigned long k = 0; k < connections; ++k) {
        if (!errors[k].empty()) {
            std::fprintf(stderr, "raw_nntp_client: %s\n", errors[k].c_str());
            return 1;
        }
        total.bytes += counts[k].bytes;
        total.heads += counts[k].heads;
        total.articles += counts[k].articles;
    }
    std::printf("bytes=%llu articles=%lu heads=%lu seconds=%.3f\n",
                static_cast<unsigned long long>(total.bytes), total.articles, total.heads,
                elapsed.count());
    return 0;
}

// The receive buffer of a news connection: the input's bytes arrive in chunks of varying size
// (by Append, or by Reserve and a Commit of fewer bytes than reserved, the rest of the reserved
// room scribbled on), with lines taken, storage pinned and the buffer cleared in between, as
// the input's steering bytes say. Every line and every count agrees with a reference that
// turns NUL bytes into spaces and splits at CR LF; lines taken from pinned storage stay as
// they were until the pin is let go. The line scanner's widths all agree on the whole input.
#include "nntp/CLineBuffer.h"
#include "nntp/LineScanner.h"
#include "tests/fuzz/FuzzSupport.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using fuzz::Check;

class Reference {
  public:
    void Receive(std::string_view bytes) {
        const size_t from = m_pending.size();
        m_pending += bytes;
        std::replace(m_pending.begin() + static_cast<long>(from), m_pending.end(), '\0', ' ');
        // A CR at the end of the previous chunk may be completed by this one.
        for (size_t at = from == 0 ? 0 : from - 1;
             (at = m_pending.find("\r\n", std::max(at, m_scanned))) != std::string::npos;) {
            ++m_seen;
            m_scanned = at + 2;
        }
    }
    bool HasLine() const { return m_pending.find("\r\n") != std::string::npos; }
    std::string Take() {
        const size_t end = m_pending.find("\r\n");
        std::string line = m_pending.substr(0, end);
        m_pending.erase(0, end + 2);
        m_scanned -= end + 2;
        return line;
    }
    size_t Pending() const { return m_pending.size(); }
    size_t Unended() const { return m_pending.size() - m_scanned; }
    size_t Seen() const { return m_seen; }
    void Clear() { *this = Reference(); }

  private:
    std::string m_pending;
    size_t m_scanned = 0; // bytes of m_pending up to the last line end
    size_t m_seen = 0;
};

struct PinnedLine {
    std::string_view view;
    std::string copy;
};

class Driver {
  public:
    explicit Driver(FuzzedDataProvider& input) : m_input(input) {}

    void Run() {
        while (m_input.remaining_bytes() > 0) {
            switch (m_input.ConsumeIntegralInRange(0, 7)) {
            case 0:
            case 1:
                Append();
                break;
            case 2:
            case 3:
                ReserveAndCommit();
                break;
            case 4:
                while (TakeOne())
                    ;
                break;
            case 5:
                TakeOne();
                break;
            case 6:
                TogglePin();
                break;
            default:
                Clear();
            }
            CheckCounts();
        }
        while (TakeOne())
            ;
        CheckPinnedLines();
    }

  private:
    // Mostly short chunks, now and then one as long as what is left.
    std::string Chunk() {
        const size_t most = m_input.ConsumeBool() ? 16 : 4096;
        return m_input.ConsumeBytesAsString(m_input.ConsumeIntegralInRange<size_t>(0, most));
    }

    void Append() {
        const std::string chunk = Chunk();
        m_buffer.Append(chunk.data(), chunk.size());
        m_reference.Receive(chunk);
    }

    void ReserveAndCommit() {
        const size_t extra = m_input.ConsumeIntegralInRange<size_t>(0, 70000);
        const std::string chunk = Chunk();
        char* room = m_buffer.Reserve(chunk.size() + extra);
        if (!chunk.empty())
            std::memcpy(room, chunk.data(), chunk.size());
        // Reserved but not committed: must never show in a line.
        for (size_t i = 0; i < extra; ++i)
            room[chunk.size() + i] = i % 2 == 0 ? '\r' : '\n';
        m_buffer.Commit(chunk.size());
        m_reference.Receive(chunk);
    }

    bool TakeOne() {
        Check(m_buffer.HasLine() == m_reference.HasLine(), "HasLine disagrees");
        if (!m_reference.HasLine()) {
            std::string_view view;
            Check(!m_buffer.NextLine(view), "a line was taken that has not ended");
            return false;
        }
        const std::string expected = m_reference.Take();
        if (m_input.ConsumeBool()) {
            std::string line;
            Check(m_buffer.TakeLine(line) && line == expected, "TakeLine gave another line");
            return true;
        }
        std::string_view view;
        Check(m_buffer.NextLine(view) && view == expected, "NextLine gave another line");
        // The pin holds the storage it was taken from; a later one is not its business.
        if (m_pin && m_buffer.Pin() == m_pin)
            m_pinned.push_back(PinnedLine{view, expected});
        return true;
    }

    void TogglePin() {
        CheckPinnedLines();
        if (m_pin) {
            m_pin.reset();
            m_pinned.clear();
            return;
        }
        m_pin = m_buffer.Pin();
    }

    void Clear() {
        m_buffer.Clear();
        m_reference.Clear();
    }

    void CheckPinnedLines() const {
        for (const PinnedLine& line : m_pinned)
            Check(line.view == line.copy, "a line changed while its storage was pinned");
    }

    void CheckCounts() const {
        Check(m_buffer.Pending() == m_reference.Pending(), "Pending disagrees");
        Check(m_buffer.UnendedBytes() == m_reference.Unended(), "UnendedBytes disagrees");
        Check(m_buffer.LinesSeen() == m_reference.Seen(), "LinesSeen disagrees");
        Check(!m_buffer.Overlong(), "a short line counts as overlong");
        CheckPinnedLines();
    }

    FuzzedDataProvider& m_input;
    CLineBuffer m_buffer;
    Reference m_reference;
    std::shared_ptr<const char[]> m_pin;
    std::vector<PinnedLine> m_pinned;
};

struct Scanned {
    std::string data;
    std::vector<size_t> ends;
    size_t lineStart = 0;
    bool operator==(const Scanned&) const = default;
};

// The scanner alone, in two pieces split where the input says.
Scanned Scan(ScanWidth width, std::string_view bytes, size_t split) {
    Scanned result{std::string(bytes), std::vector<size_t>(bytes.size() / 2 + 2), 0};
    LineScan scan{result.data.data(), result.ends.data(), 0, 0};
    ScanLinesWith(width, scan, 0, split);
    ScanLinesWith(width, scan, split, bytes.size());
    result.ends.resize(scan.count);
    result.lineStart = scan.lineStart;
    return result;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const size_t split = size == 0 ? 0 : data[0] % (size + 1);
    const Scanned narrow = Scan(ScanWidth::Bytes, bytes, split);
    Check(Scan(ScanWidth::Sse2, bytes, split) == narrow, "the SSE2 scan disagrees");
    Check(Scan(ScanWidth::Avx2, bytes, split) == narrow, "the AVX2 scan disagrees");

    FuzzedDataProvider input(data, size);
    Driver(input).Run();
    return 0;
}

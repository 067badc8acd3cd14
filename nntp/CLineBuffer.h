#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

// The receive buffer of a news connection: bytes in, lines out. A line is any byte
// sequence ended by CR LF (a lone CR or LF is an ordinary byte); NUL bytes become
// spaces as they arrive so that a line is always a valid C string.
//
// Received bytes are scanned once, as they are committed: NUL bytes are replaced and the
// ends of the lines they complete are noted, so taking a line costs no search.
class CLineBuffer {
  public:
    // Lines longer than this are refused rather than buffered without end: nothing a
    // news server legitimately sends comes near it.
    static constexpr std::size_t kMaxLineLength = 32 * 1024 * 1024;

    // Appends received bytes (NUL bytes turned into spaces).
    void Append(const char* data, std::size_t size);
    // Makes room for `size` bytes at the end and returns where to write them; the caller
    // then calls Commit with the count actually written (at most `size`).
    char* Reserve(std::size_t size);
    void Commit(std::size_t written);

    // Takes the next complete line, without its CR LF; false when the undelivered bytes
    // hold no CR LF. The view points into the storage: it stays valid until the next
    // Reserve, or for as long as a pin from Pin() is held.
    bool NextLine(std::string_view& line) {
        if (!HasLine())
            return false;
        const std::size_t end = m_lineEnds[m_nNextEnd++];
        line = std::string_view(m_data.get() + m_nRead, end - m_nRead);
        m_nRead = end + 2;
        if (!HasLine())
            m_nEnds = m_nNextEnd = 0;
        return true;
    }
    // The same, copied into `line`.
    bool TakeLine(std::string& line);
    // True when the undelivered bytes hold a complete line.
    bool HasLine() const { return m_nNextEnd < m_nEnds; }
    // Keeps the current storage, and every line taken from it, alive and unchanged while
    // the returned pointer exists: Reserve then moves on to new storage instead of reusing it.
    std::shared_ptr<const char[]> Pin() const { return m_data; }
    // True when an unfinished line has grown past kMaxLineLength.
    bool Overlong() const { return Pending() > kMaxLineLength; }
    std::size_t Pending() const { return m_nSize - m_nRead; }
    // The bytes of the line not yet ended by CR LF.
    std::size_t UnendedBytes() const { return m_nSize - m_nLineStart; }
    // How many line ends have arrived since the buffer was made or cleared.
    std::size_t LinesSeen() const { return m_nLinesSeen; }
    void Clear();

  private:
    bool Pinned() const { return m_data.use_count() > 1; }
    // Replaces the NUL bytes of [from, to) and notes the line ends found there.
    void Scan(std::size_t from, std::size_t to);
    // Makes room for `more` line ends.
    void ReserveEnds(std::size_t more);
    // The undelivered bytes have moved `shift` places towards the front.
    void ShiftDown(std::size_t shift);

    // Received bytes are written straight into this storage: no zero-fill per read.
    std::shared_ptr<char[]> m_data;
    std::size_t m_nCapacity = 0;
    std::size_t m_nSize = 0;      // bytes received
    std::size_t m_nRead = 0;      // first byte not yet delivered
    std::size_t m_nLineStart = 0; // first byte after the last line end noted
    std::size_t m_nLinesSeen = 0;
    std::size_t m_nReserved = 0; // start of the region handed out by Reserve
    // Where the CR of each complete, undelivered line is: m_nEnds of them, from m_nNextEnd on
    // not yet delivered.
    std::unique_ptr<std::size_t[]> m_lineEnds;
    std::size_t m_nEndCapacity = 0;
    std::size_t m_nEnds = 0;
    std::size_t m_nNextEnd = 0;
};

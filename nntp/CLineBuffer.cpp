#include "nntp/CLineBuffer.h"

#include "nntp/LineScanner.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

namespace {

// The first storage is large enough for the replies of a typical read in one piece.
constexpr std::size_t kInitialCapacity = 64 * 1024;

} // namespace

void CLineBuffer::Append(const char* data, std::size_t size) {
    char* target = Reserve(size);
    if (size > 0)
        std::memcpy(target, data, size);
    Commit(size);
}

// The undelivered bytes move to the front only when the free space behind them is too
// small and at least half the storage has been delivered, so every byte is moved at most
// about once; the storage doubles when the undelivered bytes would fill more than half.
// Pinned storage is never written below the end of its received bytes: the undelivered
// ones are copied to new storage instead.
char* CLineBuffer::Reserve(std::size_t size) {
    const std::size_t pending = Pending();
    if (pending == 0 && !Pinned()) {
        // Nothing left to deliver: the next read starts at the front again.
        ShiftDown(m_nRead);
        m_nSize = 0;
    }
    if (m_nSize + size > m_nCapacity) {
        if (pending + size > m_nCapacity / 2 || Pinned()) {
            const std::size_t capacity =
                std::max({kInitialCapacity, 2 * (pending + size), m_nCapacity});
            std::shared_ptr<char[]> data(new char[capacity]);
            if (pending > 0)
                std::memcpy(data.get(), m_data.get() + m_nRead, pending);
            m_data = std::move(data);
            m_nCapacity = capacity;
        } else if (pending > 0) {
            std::memmove(m_data.get(), m_data.get() + m_nRead, pending);
        }
        ShiftDown(m_nRead);
        m_nSize = pending;
    }
    m_nReserved = m_nSize;
    return m_data.get() + m_nReserved;
}

void CLineBuffer::ShiftDown(std::size_t shift) {
    const std::size_t left = m_nEnds - m_nNextEnd;
    for (std::size_t i = 0; i < left; ++i)
        m_lineEnds[i] = m_lineEnds[m_nNextEnd + i] - shift;
    m_nEnds = left;
    m_nNextEnd = 0;
    m_nLineStart -= shift;
    m_nRead -= shift;
}

void CLineBuffer::ReserveEnds(std::size_t more) {
    if (m_nEnds + more <= m_nEndCapacity)
        return;
    const std::size_t capacity = std::max(m_nEnds + more, 2 * m_nEndCapacity);
    auto ends = std::make_unique_for_overwrite<std::size_t[]>(capacity);
    std::copy(m_lineEnds.get(), m_lineEnds.get() + m_nEnds, ends.get());
    m_lineEnds = std::move(ends);
    m_nEndCapacity = capacity;
}

void CLineBuffer::Commit(std::size_t written) {
    m_nSize = std::min(m_nReserved + written, m_nCapacity);
    Scan(m_nReserved, m_nSize);
    m_nReserved = m_nSize;
}

void CLineBuffer::Scan(std::size_t from, std::size_t to) {
    ReserveEnds((to - from) / 2 + 1);
    LineScan scan{m_data.get(), m_lineEnds.get(), m_nEnds, m_nLineStart};
    ScanLines(scan, from, to);
    m_nLinesSeen += scan.count - m_nEnds;
    m_nEnds = scan.count;
    m_nLineStart = scan.lineStart;
}

bool CLineBuffer::TakeLine(std::string& line) {
    std::string_view view;
    if (!NextLine(view))
        return false;
    line.assign(view);
    return true;
}

void CLineBuffer::Clear() {
    // Lines handed out from pinned storage must survive: the next read gets new storage.
    if (Pinned()) {
        m_data.reset();
        m_nCapacity = 0;
    }
    m_nSize = 0;
    m_nRead = 0;
    m_nLineStart = 0;
    m_nLinesSeen = 0;
    m_nReserved = 0;
    m_nEnds = m_nNextEnd = 0;
}

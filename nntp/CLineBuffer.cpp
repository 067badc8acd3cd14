#include "nntp/CLineBuffer.h"

#include <algorithm>
#include <cstring>

namespace {

// The first storage is large enough for the replies of a typical read in one piece.
constexpr std::size_t kInitialCapacity = 64 * 1024;

void ReplaceNuls(char* begin, char* end) {
    while (begin < end) {
        auto* nul =
            static_cast<char*>(std::memchr(begin, '\0', static_cast<std::size_t>(end - begin)));
        if (nul == nullptr)
            return;
        *nul = ' ';
        begin = nul + 1;
    }
}

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
        m_nRead = m_nSize = m_nScanned = 0;
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
        m_nScanned -= std::min(m_nScanned, m_nRead);
        m_nRead = 0;
        m_nSize = pending;
    }
    m_nReserved = m_nSize;
    return m_data.get() + m_nReserved;
}

void CLineBuffer::Commit(std::size_t written) {
    m_nSize = std::min(m_nReserved + written, m_nCapacity);
    ReplaceNuls(m_data.get() + m_nReserved, m_data.get() + m_nSize);
    m_nReserved = m_nSize;
}

// A line ends at an LF whose preceding byte (inside the undelivered ones) is a CR.
std::size_t CLineBuffer::FindLineEnd() {
    const char* data = m_data.get();
    std::size_t from = std::max(m_nRead, m_nScanned);
    while (from < m_nSize) {
        const auto* lf = static_cast<const char*>(std::memchr(data + from, '\n', m_nSize - from));
        if (lf == nullptr)
            break;
        const auto at = static_cast<std::size_t>(lf - data);
        if (at > m_nRead && data[at - 1] == '\r')
            return at - 1;
        from = at + 1;
    }
    m_nScanned = m_nSize;
    return kNoLineEnd;
}

bool CLineBuffer::HasLine() {
    return FindLineEnd() != kNoLineEnd;
}

bool CLineBuffer::NextLine(std::string_view& line) {
    const std::size_t end = FindLineEnd();
    if (end == kNoLineEnd)
        return false;
    line = std::string_view(m_data.get() + m_nRead, end - m_nRead);
    m_nRead = end + 2;
    m_nScanned = m_nRead;
    return true;
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
    m_nScanned = 0;
    m_nReserved = 0;
}

#include "nntp/CLineBuffer.h"

#include <algorithm>
#include <cstring>

void CLineBuffer::Append(const char* data, std::size_t size) {
    char* target = Reserve(size);
    std::memcpy(target, data, size);
    Commit(size);
}

char* CLineBuffer::Reserve(std::size_t size) {
    m_nReserved = m_data.size();
    m_data.resize(m_nReserved + size);
    return m_data.data() + m_nReserved;
}

void CLineBuffer::Commit(std::size_t written) {
    m_data.resize(m_nReserved + written);
    auto begin = m_data.begin() + static_cast<std::ptrdiff_t>(m_nReserved);
    std::replace(begin, m_data.end(), '\0', ' ');
}

std::size_t CLineBuffer::FindLineEnd() {
    std::size_t from = std::max(m_nRead, m_nScanned);
    std::size_t end = m_data.find("\r\n", from);
    if (end != std::string::npos)
        return end;
    // A CR at the very end may still be followed by its LF.
    if (m_data.size() > from)
        m_nScanned = m_data.size() - 1;
    return std::string::npos;
}

bool CLineBuffer::HasLine() {
    return FindLineEnd() != std::string::npos;
}

bool CLineBuffer::TakeLine(std::string& line) {
    std::size_t end = FindLineEnd();
    if (end == std::string::npos) {
        Compact();
        return false;
    }
    line.assign(m_data, m_nRead, end - m_nRead);
    m_nRead = end + 2;
    m_nScanned = m_nRead;
    return true;
}

// Delivered bytes are dropped only when no complete line is left, so that taking a
// line never moves the rest of the buffer.
void CLineBuffer::Compact() {
    if (m_nRead == 0)
        return;
    m_data.erase(0, m_nRead);
    m_nScanned = m_nScanned > m_nRead ? m_nScanned - m_nRead : 0;
    m_nRead = 0;
}

void CLineBuffer::Clear() {
    m_data.clear();
    m_nRead = 0;
    m_nScanned = 0;
    m_nReserved = 0;
}

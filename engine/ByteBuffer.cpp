#include "engine/ByteBuffer.h"

#include <algorithm>
#include <cstring>

void ByteBuffer::Append(std::string_view bytes) {
    if (!bytes.empty())
        std::memcpy(Extend(bytes.size()), bytes.data(), bytes.size());
}

// At least doubles, so that a buffer filled line by line is copied a bounded number of times.
void ByteBuffer::Grow(std::size_t size) {
    const std::size_t capacity = std::max({m_nSize + size, 2 * m_nCapacity, std::size_t{4096}});
    auto data = std::make_unique_for_overwrite<char[]>(capacity);
    if (m_nSize > 0)
        std::memcpy(data.get(), m_data.get(), m_nSize);
    m_data = std::move(data);
    m_nCapacity = capacity;
}

#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

// Decoded bytes on their way to a file. Unlike a string, room added at the end is not
// filled first: a decoder extends the buffer by the most a line can give, writes the bytes
// and cuts the buffer back to what it wrote.
class ByteBuffer {
  public:
    // `size` more bytes at the end, their contents undefined; returns where they begin.
    char* Extend(std::size_t size) {
        if (m_nCapacity - m_nSize < size)
            Grow(size);
        char* added = m_data.get() + m_nSize;
        m_nSize += size;
        return added;
    }
    // Keeps the first `size` bytes (at most Size()).
    void Truncate(std::size_t size) { m_nSize = size; }
    void Append(std::string_view bytes);
    void Clear() { m_nSize = 0; }

    const char* Data() const { return m_data.get(); }
    std::size_t Size() const { return m_nSize; }
    bool Empty() const { return m_nSize == 0; }
    std::string_view View() const { return {m_data.get(), m_nSize}; }

  private:
    void Grow(std::size_t size);

    std::unique_ptr<char[]> m_data;
    std::size_t m_nSize = 0;
    std::size_t m_nCapacity = 0;
};

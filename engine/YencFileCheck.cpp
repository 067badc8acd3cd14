#include "engine/YencFileCheck.h"

#include "engine/Crc32.h"

void YencFileCheck::Begin(const YencBegin& header) {
    *this = YencFileCheck{};
    m_nFileSize = header.size;
    m_strName = header.name;
    m_bPartLines = header.part.has_value();
    if (!m_bPartLines)
        m_nPartEnd = m_nFileSize;
}

bool YencFileCheck::IsPartOf(const YencBegin& header, int32_t part) const {
    return header.part == part && header.size == m_nFileSize && header.name == m_strName;
}

bool YencFileCheck::StartPart(const YencPartRange& range) {
    if (range.begin != m_nWritten + 1 || range.end < m_nWritten || range.end > m_nFileSize)
        return false;
    m_nPartStart = m_nWritten;
    m_nPartEnd = range.end;
    m_nPartBytes = 0;
    m_uPartCrc = 0;
    return true;
}

void YencFileCheck::Add(std::string_view bytes) {
    m_nPartBytes += bytes.size();
    m_uPartCrc = Crc32Update(m_uPartCrc, bytes.data(), bytes.size());
}

bool YencFileCheck::EndPart(const YencEnd& trailer, int32_t part, bool last) {
    const uint64_t expected = m_nPartEnd - m_nPartStart;
    if (m_nPartBytes != expected || trailer.size != expected)
        return false;
    if (m_bPartLines ? trailer.part != part : trailer.part.value_or(1) != 1)
        return false;
    if (trailer.pcrc32 && *trailer.pcrc32 != m_uPartCrc)
        return false;
    m_uFileCrc = Crc32Combine(m_uFileCrc, m_uPartCrc, m_nPartBytes);
    m_nWritten += m_nPartBytes;
    if (!last)
        return true;
    return m_nWritten == m_nFileSize && (!trailer.crc32 || *trailer.crc32 == m_uFileCrc);
}

#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/YencKeywordLines.h"

// What the keyword lines of a yEnc file promise, checked against the bytes decoded: each
// part's range, size, number and CRC, and at the end the whole file's size and CRC. A file
// without part numbers is one part covering all of it. Parts must follow each other without
// gap or overlap, as they are written one after the other.
class YencFileCheck {
  public:
    // A new file from its first (or only) "=ybegin" line.
    void Begin(const YencBegin& header);
    // Whether a later part's "=ybegin" line belongs to this file as part `part`.
    bool IsPartOf(const YencBegin& header, int32_t part) const;
    // True when the file's parts carry "=ypart" lines with their ranges.
    bool HasPartLines() const { return m_bPartLines; }
    // The range of the part that follows; false when it does not continue the file.
    bool StartPart(const YencPartRange& range);
    // Decoded bytes of the current part, in order.
    void Add(std::string_view bytes);
    // The trailer of part `part`; false when it does not match what was decoded. For the last
    // part the whole file is checked too.
    bool EndPart(const YencEnd& trailer, int32_t part, bool last);

  private:
    uint64_t m_nFileSize = 0;
    std::string m_strName;
    bool m_bPartLines = false;
    uint64_t m_nWritten = 0;   // bytes of the parts already ended
    uint32_t m_uFileCrc = 0;   // of those bytes
    uint64_t m_nPartStart = 0; // the current part's range, 0-based, end exclusive
    uint64_t m_nPartEnd = 0;
    uint64_t m_nPartBytes = 0;
    uint32_t m_uPartCrc = 0;
};

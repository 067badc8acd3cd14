#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One article of a group as the server's overview describes it. The values are those of the
// headers, unfolded by the server. Content type and Lines are known only when the server's
// overview carries those headers in full.
struct OverviewRecord {
    uint32_t number = 0;
    std::string subject;
    std::string from;
    std::optional<std::string> contentType; // the header's value; empty: no such header
    std::optional<int32_t> lines;           // -1: no Lines header
    std::optional<uint64_t> bytes;          // the article's size, as the server counts it

    // What its Content-Type gives, read as the header's line would be; false when the overview
    // does not carry Content-Type.
    bool ContentTypeFields(std::string& type, std::string& name, std::string& boundary) const;
};

// The overview of the block of a group's range that the walk is in, read with XOVER, so that
// the articles it alone decides need no HEAD. The format comes from LIST OVERVIEW.FMT, once per
// server; a server whose overview is missing, refused or found to differ from the headers is
// not screened again in the run.
class COverviewScreen {
  public:
    static constexpr uint32_t kBlockArticles = 5000;

    // The lines of the LIST OVERVIEW.FMT reply; EndFormat tells whether the format can be used.
    void BeginFormat();
    void AddFormatLine(std::string_view line);
    bool EndFormat();
    bool IsUsable() const { return m_bUsable; }
    bool HasContentType() const { return m_nContentType != 0; }
    bool HasLines() const { return m_nLines != 0; }
    // No more screening on this server.
    void Disable();
    // Forgets the block, for a new group.
    void ClearBlock();

    // The command that reads the block starting at `first`, which is not in the block now.
    static std::string BlockCommand(uint32_t first);
    // Begins the block that BlockCommand(first) asks for.
    void BeginBlock(uint32_t first);
    // One line of the XOVER reply; lines that cannot be read, or that name an article outside
    // the block, are passed over (their articles get a HEAD).
    void AddLine(std::string_view line);
    void EndBlock();
    // The block holds the overview of this number, or would if it had the article.
    bool Covers(uint32_t number) const {
        return m_bBlock && number >= m_uBlockFirst && number <= m_uBlockLast;
    }
    const OverviewRecord* Find(uint32_t number) const;
    // The complete block's records, by number.
    const std::vector<OverviewRecord>& Records() const { return m_records; }

  private:
    static uint32_t BlockLast(uint32_t first);

    bool m_bUsable = false;
    std::vector<std::string> m_format;
    // Field positions after the article number, 1 based; 0 when the overview lacks them.
    size_t m_nContentType = 0;
    size_t m_nLines = 0;
    size_t m_nBytes = 0;
    bool m_bBlock = false;   // complete: it decides
    bool m_bReading = false; // its reply is arriving
    uint32_t m_uBlockFirst = 0;
    uint32_t m_uBlockLast = 0;
    std::vector<OverviewRecord> m_records; // by number, once the block is complete
};

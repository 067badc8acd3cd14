#include "engine/COverviewScreen.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "engine/HeaderParsing.h"

namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) {
                   return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
               };
               return lower(x) == lower(y);
           });
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

std::vector<std::string_view> SplitTabs(std::string_view line) {
    std::vector<std::string_view> fields;
    for (;;) {
        const size_t tab = line.find('\t');
        fields.push_back(line.substr(0, tab));
        if (tab == std::string_view::npos)
            return fields;
        line.remove_prefix(tab + 1);
    }
}

// An article number or a size of an XOVER line: digits only, within 32 bits.
std::optional<uint32_t> UnsignedField(std::string_view text) {
    if (text.empty() || text.size() > 10)
        return std::nullopt;
    uint64_t number = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        number = number * 10 + static_cast<uint64_t>(c - '0');
    }
    if (number > std::numeric_limits<uint32_t>::max())
        return std::nullopt;
    return static_cast<uint32_t>(number);
}

// A full field is the header's name, a colon and its value; empty when the article has no such
// header. Anything else is not understood: the article's headers decide then.
std::optional<std::string> FullValue(std::string_view field, std::string_view name) {
    if (field.empty())
        return std::string();
    if (field.size() <= name.size() || field[name.size()] != ':' ||
        !EqualsIgnoringCase(field.substr(0, name.size()), name))
        return std::nullopt;
    return std::string(TrimBlanks(field.substr(name.size() + 1)));
}

} // namespace

bool OverviewRecord::ContentTypeFields(std::string& type, std::string& name,
                                       std::string& boundary) const {
    if (!contentType)
        return false;
    ParseContentType("Content-Type: " + *contentType, type, name, boundary);
    return true;
}

void COverviewScreen::BeginFormat() {
    m_format.clear();
}

void COverviewScreen::AddFormatLine(std::string_view line) {
    m_format.emplace_back(TrimBlanks(StripDotStuffing(line)));
}

// Subject and From must come first, as every overview has them; the headers the selection
// rules need beyond them are found wherever the server lists them in full.
bool COverviewScreen::EndFormat() {
    m_bUsable = m_format.size() >= 2 && EqualsIgnoringCase(m_format[0], "Subject:") &&
                EqualsIgnoringCase(m_format[1], "From:");
    m_nContentType = m_nLines = 0;
    // The article's size is the sixth field, as the server counts it.
    m_nBytes = m_format.size() > 5 && (EqualsIgnoringCase(m_format[5], ":bytes") ||
                                       EqualsIgnoringCase(m_format[5], "Bytes:"))
                   ? 6
                   : 0;
    for (size_t i = 2; i < m_format.size(); ++i) {
        if (EqualsIgnoringCase(m_format[i], "Content-Type:full"))
            m_nContentType = i + 1;
        else if (EqualsIgnoringCase(m_format[i], "Lines:full"))
            m_nLines = i + 1;
    }
    ClearBlock();
    return m_bUsable;
}

void COverviewScreen::Disable() {
    m_bUsable = false;
    ClearBlock();
}

void COverviewScreen::ClearBlock() {
    m_bBlock = m_bReading = false;
    m_records.clear();
}

// Past the group's last article too: the block's command then depends on nothing but where the
// walk begins, and can be sent before the GROUP reply tells the group's range.
uint32_t COverviewScreen::BlockLast(uint32_t first) {
    return static_cast<uint32_t>(std::min<uint64_t>(uint64_t{first} + kBlockArticles - 1,
                                                    std::numeric_limits<uint32_t>::max()));
}

std::string COverviewScreen::BlockCommand(uint32_t first) {
    return "XOVER " + std::to_string(first) + "-" + std::to_string(BlockLast(first));
}

void COverviewScreen::BeginBlock(uint32_t first) {
    m_records.clear();
    m_bBlock = false;
    m_bReading = true;
    m_uBlockFirst = first;
    m_uBlockLast = BlockLast(first);
}

void COverviewScreen::AddLine(std::string_view line) {
    if (!m_bReading || m_records.size() >= kBlockArticles)
        return;
    const std::vector<std::string_view> fields = SplitTabs(StripDotStuffing(line));
    const std::optional<uint32_t> number = UnsignedField(fields[0]);
    if (fields.size() < 3 || !number || *number < m_uBlockFirst || *number > m_uBlockLast)
        return;
    OverviewRecord record{*number, std::string(fields[1]), std::string(fields[2]), {}, {}};
    if (m_nContentType != 0 && m_nContentType < fields.size())
        record.contentType = FullValue(fields[m_nContentType], "Content-Type");
    if (m_nBytes != 0 && m_nBytes < fields.size()) {
        if (const std::optional<uint32_t> bytes = UnsignedField(fields[m_nBytes]))
            record.bytes = *bytes;
    }
    if (m_nLines != 0 && m_nLines < fields.size()) {
        if (const std::optional<std::string> lines = FullValue(fields[m_nLines], "Lines"))
            record.lines = fields[m_nLines].empty() ? -1 : ParseDecimalPrefix(*lines);
    }
    m_records.push_back(std::move(record));
}

// Servers answer in order; a number given twice is not trusted at all.
void COverviewScreen::EndBlock() {
    if (!std::exchange(m_bReading, false))
        return;
    m_bBlock = true;
    std::stable_sort(m_records.begin(), m_records.end(),
                     [](const auto& a, const auto& b) { return a.number < b.number; });
    std::vector<OverviewRecord> once;
    for (size_t i = 0; i < m_records.size(); ++i) {
        const bool repeated =
            (i > 0 && m_records[i - 1].number == m_records[i].number) ||
            (i + 1 < m_records.size() && m_records[i + 1].number == m_records[i].number);
        if (!repeated)
            once.push_back(std::move(m_records[i]));
    }
    m_records = std::move(once);
}

const OverviewRecord* COverviewScreen::Find(uint32_t number) const {
    if (!Covers(number))
        return nullptr;
    const auto found =
        std::lower_bound(m_records.begin(), m_records.end(), number,
                         [](const OverviewRecord& r, uint32_t n) { return r.number < n; });
    return found != m_records.end() && found->number == number ? &*found : nullptr;
}

#include "app/gui/CHelpFile.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>

namespace {

constexpr std::string_view kBlanks = " \t\r";

std::string_view Trim(std::string_view text) {
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    const size_t last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

// "1011" or "0x3F3"; nothing for anything else, including numbers beyond 32 bits.
std::optional<uint32_t> ParseNumber(std::string_view text) {
    int base = 10;
    if (text.starts_with("0x") || text.starts_with("0X")) {
        text.remove_prefix(2);
        base = 16;
    }
    uint32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, base);
    if (text.empty() || error != std::errc() || stop != end)
        return std::nullopt;
    return value;
}

} // namespace

bool CHelpFile::Load(const std::string& path) {
    m_strPath = path;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        ClearTopics();
        m_bLoaded = false;
        return false;
    }
    Parse(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
    return true;
}

void CHelpFile::Parse(std::string_view text) {
    ClearTopics();
    m_bLoaded = true;
    size_t lineNumber = 0;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        ParseLine(text.substr(0, end), ++lineNumber);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
}

const HelpTopic* CHelpFile::Find(uint32_t id) const {
    const auto found = m_index.find(id);
    return found == m_index.end() ? nullptr : &m_topics[found->second];
}

std::string CHelpFile::NumberText(uint32_t id) {
    char text[16];
    std::snprintf(text, sizeof text, id > 0xFFFF ? "0x%08X" : "%u", id);
    return text;
}

void CHelpFile::ClearTopics() {
    m_topics.clear();
    m_chapters.clear();
    m_problems.clear();
    m_index.clear();
    m_nOpenTopic = kNoTopic;
    m_bSkipping = false;
    m_bNewParagraph = true;
}

void CHelpFile::ParseLine(std::string_view line, size_t lineNumber) {
    const std::string_view trimmed = Trim(line);
    if (trimmed.starts_with('#'))
        return;
    if (trimmed.empty()) {
        m_bNewParagraph = true;
        return;
    }
    if (trimmed.starts_with("==")) {
        std::string_view title = trimmed;
        title.remove_prefix(std::min(title.find_first_not_of('='), title.size()));
        title.remove_suffix(title.size() - (title.find_last_not_of('=') + 1));
        m_chapters.emplace_back(Trim(title));
        m_nOpenTopic = kNoTopic;
        m_bSkipping = false;
        return;
    }
    if (trimmed.starts_with('[')) {
        m_bSkipping = !StartTopic(trimmed, lineNumber);
        return;
    }
    if (m_nOpenTopic != kNoTopic) {
        AddBodyLine(trimmed);
        return;
    }
    if (!m_bSkipping)
        Problem(lineNumber, "text outside a topic");
    m_bSkipping = true;
}

bool CHelpFile::StartTopic(std::string_view line, size_t lineNumber) {
    m_nOpenTopic = kNoTopic;
    const size_t close = line.find(']');
    if (close == std::string_view::npos) {
        Problem(lineNumber, "topic line without ']'");
        return false;
    }
    const std::optional<uint32_t> id = ParseNumber(Trim(line.substr(1, close - 1)));
    if (!id) {
        Problem(lineNumber, "topic number is not a decimal or 0x hexadecimal 32-bit number");
        return false;
    }
    const std::string_view title = Trim(line.substr(close + 1));
    if (title.empty()) {
        Problem(lineNumber, "topic " + NumberText(*id) + " has no title");
        return false;
    }
    if (m_index.count(*id) != 0) {
        Problem(lineNumber, "topic " + NumberText(*id) + " is given twice");
        return false;
    }
    if (m_chapters.empty())
        m_chapters.emplace_back();
    m_index.emplace(*id, m_topics.size());
    m_topics.push_back({*id, std::string(title), {}, m_chapters.size() - 1});
    m_nOpenTopic = m_topics.size() - 1;
    m_bNewParagraph = true;
    return true;
}

void CHelpFile::AddBodyLine(std::string_view line) {
    std::vector<std::string>& paragraphs = m_topics[m_nOpenTopic].paragraphs;
    if (m_bNewParagraph || paragraphs.empty())
        paragraphs.emplace_back(line);
    else
        paragraphs.back().append(" ").append(line);
    m_bNewParagraph = false;
}

void CHelpFile::Problem(size_t lineNumber, const std::string& what) {
    m_problems.push_back("line " + std::to_string(lineNumber) + ": " + what);
}

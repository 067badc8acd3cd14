#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

// One topic of the help file: shown as a popup for the control or command with its number.
struct HelpTopic {
    uint32_t id = 0;
    std::string title;
    std::vector<std::string> paragraphs;
    size_t chapter = 0; // index into CHelpFile::Chapters()
};

// The help file "Gleanwick.hlp": UTF-8 text, one topic per control or command number.
//
//   # a comment
//   == Chapter title ==
//   [1011] Topic title
//   Body lines; consecutive lines make one paragraph,
//   a blank line starts the next one.
//   [0x80640001] Another topic
//
// A topic number is decimal or hexadecimal with "0x". Lines that cannot be read (a broken
// topic line, a number given twice, text before the first topic) are listed in Problems()
// and skipped with the body that follows them; the rest of the file still loads.
class CHelpFile {
  public:
    static constexpr const char* kFileName = "Gleanwick.hlp";

    // Reads the file at `path`; false when it cannot be read (the topics are then empty).
    bool Load(const std::string& path);
    // Replaces the topics by those of the text.
    void Parse(std::string_view text);

    bool IsLoaded() const { return m_bLoaded; }
    const std::string& Path() const { return m_strPath; }
    // The topic with that number, or nullptr.
    const HelpTopic* Find(uint32_t id) const;
    // All topics in file order.
    const std::vector<HelpTopic>& Topics() const { return m_topics; }
    // Chapter titles in file order; topics before the first chapter line belong to an
    // untitled chapter 0.
    const std::vector<std::string>& Chapters() const { return m_chapters; }
    // "line 12: ..." for every line that was skipped.
    const std::vector<std::string>& Problems() const { return m_problems; }

    // A topic number as people read it: decimal, or hexadecimal for the large context IDs.
    static std::string NumberText(uint32_t id);

  private:
    void ClearTopics();
    void ParseLine(std::string_view line, size_t lineNumber);
    bool StartTopic(std::string_view line, size_t lineNumber);
    void AddBodyLine(std::string_view line);
    void Problem(size_t lineNumber, const std::string& what);

    bool m_bLoaded = false;
    std::string m_strPath;
    std::vector<HelpTopic> m_topics;
    std::vector<std::string> m_chapters;
    std::vector<std::string> m_problems;
    std::map<uint32_t, size_t> m_index; // topic number -> position in m_topics
    // While parsing: the topic receiving body lines, none after a chapter line or a skipped
    // line (whose body is then dropped quietly), and whether the next body line starts a new
    // paragraph.
    static constexpr size_t kNoTopic = SIZE_MAX;
    size_t m_nOpenTopic = kNoTopic;
    bool m_bSkipping = false;
    bool m_bNewParagraph = true;
};

#pragma once

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>

#include "engine/IProgressPanel.h"

// The progress panel of the headless mode: one status line on a terminal (standard error),
// rewritten in place with "\r": group, article number, part and lines of the current body.
// When the stream is not a terminal the panel prints nothing.
class CConsoleProgress : public IProgressPanel {
  public:
    // `columns`: terminal width; the line is cut to fit so that "\r" can rewrite it.
    CConsoleProgress(std::ostream& out, bool enabled, std::size_t columns = 80);

    void SetGroup(const std::string& group) override;
    void SetGroupProgress(uint32_t current, uint32_t first, uint32_t last) override;
    void SetArticle(const std::string& messageId, const std::string& author,
                    const std::string& subject, const std::string& fileName) override;
    void SetMultipart(int part, int total) override;
    void SetArticleProgress(uint32_t lines, uint32_t expected) override;

    // Erases the status line so that other output can start at the left margin.
    void Clear();
    // Draws the status line again after other output.
    void Redraw();

    std::string StatusText() const;

  private:
    void Draw();
    void DrawThrottled();

    std::ostream& m_out;
    bool m_bEnabled;
    std::size_t m_uColumns;
    bool m_bShown = false;
    std::chrono::steady_clock::time_point m_lastDraw{};
    unsigned m_nThrottled = 0; // throttled updates since the clock was last read

    std::string m_strGroup;
    uint32_t m_uArticle = 0;
    uint32_t m_uLast = 0;
    int m_nPart = 0;
    int m_nParts = 0;
    uint32_t m_uLines = 0;
    uint32_t m_uExpected = 0;
};

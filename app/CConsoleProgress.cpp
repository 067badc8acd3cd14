#include "app/CConsoleProgress.h"

#include "engine/UnknownLineCount.h"
#include "platform/ConsoleText.h"

namespace {

// Redraws for line counts are limited to ten a second; a terminal cannot show more.
constexpr auto kMinimumRedrawInterval = std::chrono::milliseconds(100);
// Throttled updates come once per body line; the clock is read only at every this many.
constexpr unsigned kUpdatesPerClockCheck = 32;
constexpr const char* kEraseLine = "\r\033[K";

} // namespace

CConsoleProgress::CConsoleProgress(std::ostream& out, bool enabled, std::size_t columns)
    : m_out(out), m_bEnabled(enabled), m_uColumns(columns > 1 ? columns : 80) {}

void CConsoleProgress::SetGroup(const std::string& group) {
    m_strGroup = group;
    m_uArticle = m_uLast = 0;
    m_nPart = m_nParts = 0;
    m_uLines = m_uExpected = 0;
    Draw();
}

void CConsoleProgress::SetGroupProgress(uint32_t current, uint32_t /*first*/, uint32_t last) {
    m_uArticle = current;
    m_uLast = last;
    DrawThrottled();
}

void CConsoleProgress::SetArticle(const std::string& /*messageId*/, const std::string& /*author*/,
                                  const std::string& /*subject*/, const std::string& /*fileName*/) {
    m_nPart = m_nParts = 0;
    m_uLines = m_uExpected = 0;
    Draw();
}

void CConsoleProgress::SetMultipart(int part, int total) {
    m_nPart = part;
    m_nParts = total;
    Draw();
}

void CConsoleProgress::SetArticleProgress(uint32_t lines, uint32_t expected) {
    m_uLines = lines;
    m_uExpected = expected;
    DrawThrottled();
}

std::string CConsoleProgress::StatusText() const {
    std::string text = ConsoleText(m_strGroup);
    if (m_uArticle != 0)
        text += "  article " + std::to_string(m_uArticle) + "/" + std::to_string(m_uLast);
    if (m_nParts != 0)
        text += "  part " + std::to_string(m_nPart) + "/" + std::to_string(m_nParts);
    if (m_uLines != 0) {
        text += "  lines " + std::to_string(m_uLines);
        if (m_uExpected != kUnknownLineCount)
            text.append("/").append(std::to_string(m_uExpected));
    }
    return FitColumns(text, m_uColumns - 1);
}

void CConsoleProgress::Clear() {
    if (!m_bShown)
        return;
    m_out << kEraseLine << std::flush;
    m_bShown = false;
}

void CConsoleProgress::Redraw() {
    if (!m_strGroup.empty())
        Draw();
}

void CConsoleProgress::Draw() {
    if (!m_bEnabled)
        return;
    m_out << kEraseLine << StatusText() << std::flush;
    m_bShown = true;
    m_lastDraw = std::chrono::steady_clock::now();
}

void CConsoleProgress::DrawThrottled() {
    if (!m_bEnabled || ++m_nThrottled < kUpdatesPerClockCheck)
        return;
    m_nThrottled = 0;
    if (std::chrono::steady_clock::now() - m_lastDraw < kMinimumRedrawInterval)
        return;
    Draw();
}

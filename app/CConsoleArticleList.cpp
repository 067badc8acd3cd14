#include "app/CConsoleArticleList.h"

#include "app/CConsoleProgress.h"
#include "engine/UnknownLineCount.h"
#include "platform/ConsoleText.h"

namespace {

// An article without a Lines header carries all bits set.

} // namespace

CConsoleArticleList::CConsoleArticleList(std::ostream& out, CConsoleProgress* progress)
    : m_out(out), m_pProgress(progress) {}

std::string CConsoleArticleList::FormatArticle(const std::string& fileName, uint32_t lines,
                                               const std::string& author,
                                               const std::string& subject) {
    const std::string count = lines == kUnknownLineCount ? "?" : std::to_string(lines);
    return "File: " + ConsoleText(fileName) + " (" + count + " lines) " + ConsoleText(author) +
           " / " + ConsoleText(subject);
}

void CConsoleArticleList::AddArticle(const std::string& fileName, uint32_t lines,
                                     const std::string& author, const std::string& subject) {
    if (m_pProgress)
        m_pProgress->Clear();
    m_out << FormatArticle(fileName, lines, author, subject) << '\n' << std::flush;
    if (m_pProgress)
        m_pProgress->Redraw();
}

#include "app/CConsoleLogList.h"

#include "app/CConsoleProgress.h"
#include "platform/ConsoleText.h"

CConsoleLogList::CConsoleLogList(std::ostream& out, CConsoleProgress* progress)
    : m_out(out), m_pProgress(progress) {}

void CConsoleLogList::AddLine(const std::string& text) {
    if (m_pProgress)
        m_pProgress->Clear();
    m_out << ConsoleText(text) << '\n' << std::flush;
    if (m_pProgress)
        m_pProgress->Redraw();
}

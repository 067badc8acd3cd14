#include "app/CConsoleGroupProgress.h"

#include <QCoreApplication>

#include "platform/ConsoleText.h"

CConsoleGroupProgress::CConsoleGroupProgress(std::ostream& err, bool terminal,
                                             const std::string& server,
                                             std::function<bool()> cancelled)
    : m_err(err), m_bTerminal(terminal), m_cancelled(std::move(cancelled)) {
    // The caption of the progress window: the template text, a blank, the server name.
    m_err << "Downloading Groups from  " << ConsoleText(server) << '\n' << std::flush;
}

CConsoleGroupProgress::~CConsoleGroupProgress() {
    if (m_bTerminal && m_bCounterShown)
        m_err << '\n' << std::flush;
}

void CConsoleGroupProgress::SetCounterText(const std::string& text) {
    if (m_bTerminal)
        m_err << "\r\033[K" << ConsoleText(text) << std::flush;
    else
        m_err << ConsoleText(text) << '\n' << std::flush;
    m_bCounterShown = true;
}

bool CConsoleGroupProgress::PumpMessages() {
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
    return m_cancelled && m_cancelled();
}

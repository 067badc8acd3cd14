#pragma once

#include <functional>
#include <ostream>
#include <string>

#include "servers/IGroupListHost.h"

// The group-list download's progress on the console: a heading, then the counter text on
// standard error, rewritten in place on a terminal and one line per update otherwise.
class CConsoleGroupProgress : public IGroupDownloadProgress {
  public:
    // `cancelled` tells whether the user asked to stop (a signal in the headless mode).
    CConsoleGroupProgress(std::ostream& err, bool terminal, const std::string& server,
                          std::function<bool()> cancelled);
    ~CConsoleGroupProgress() override;

    void SetCounterText(const std::string& text) override;
    // Lets the event loop deliver what is waiting (the stop signal among it).
    bool PumpMessages() override;

  private:
    std::ostream& m_err;
    bool m_bTerminal;
    bool m_bCounterShown = false;
    std::function<bool()> m_cancelled;
};

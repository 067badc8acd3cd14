#pragma once

#include <ostream>
#include <string>

#include "engine/ILogList.h"

class CConsoleProgress;

// The log list of the headless mode: every line goes to standard output as it is added,
// flushed at once so that a pipe or a log file sees it immediately.
class CConsoleLogList : public ILogList {
  public:
    // `progress` (optional) is the status line that shares the terminal.
    explicit CConsoleLogList(std::ostream& out, CConsoleProgress* progress = nullptr);

    void AddLine(const std::string& text) override;
    // Lines already printed stay on the console; nothing to empty.
    void ResetContent() override {}

  private:
    std::ostream& m_out;
    CConsoleProgress* m_pProgress;
};

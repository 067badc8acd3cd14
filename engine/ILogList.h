#pragma once

#include <string>

// The activity log list of the main window.
class ILogList {
  public:
    virtual ~ILogList() = default;
    virtual void AddLine(const std::string& text) = 0;
    virtual void ResetContent() = 0;
};

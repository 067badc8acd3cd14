#pragma once

#include <string>

// What a run needs from the program around it besides the panes.
class IRunHost {
  public:
    virtual ~IRunHost() = default;
    // The logon prompt; true when the user confirmed new values (already stored).
    virtual bool LogonPrompt(const std::string& server) = 0;
    // Posts a command to the main window (57665: exit the application).
    virtual void PostCommand(unsigned id) = 0;
    // Saves all settings and the kill file (the frame's SaveSettings with save).
    virtual void SaveSettings() = 0;
    // The run started (true) or returned to idle (false); the run's outcome and the server it
    // used last are readable from the run by then. The host must not delete the run from here.
    virtual void OnRunStateChanged(bool running) { (void)running; }
};

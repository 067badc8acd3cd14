#pragma once

#include <functional>
#include <string>

class CProfile;

// The logon prompt shown when a server refuses the stored account and password. The
// host program installs the function that asks the user (the Logon dialog); without
// one, as in the headless mode, every prompt counts as cancelled.
class CLogonPrompt {
  public:
    // Fills in account and password (shown pre-filled) for the server; true on OK.
    using AskFunction =
        std::function<bool(std::string& account, std::string& password, const std::string& server)>;

    static void Install(AskFunction ask);

    // Reads "Login User" and "Login Password" of the server, asks, and on OK stores
    // "Login Required" 1 with the values entered. True when the user confirmed.
    static bool Run(CProfile& profile, const std::string& server);

  private:
    static AskFunction& Ask();
};

#include "nntp/CLogonPrompt.h"

#include "platform/CProfile.h"

CLogonPrompt::AskFunction& CLogonPrompt::Ask() {
    static AskFunction ask;
    return ask;
}

void CLogonPrompt::Install(AskFunction ask) {
    Ask() = std::move(ask);
}

bool CLogonPrompt::Run(CProfile& profile, const std::string& server) {
    // Copied so that a prompt which re-installs the function cannot pull it from under us.
    AskFunction ask = Ask();
    if (!ask)
        return false;
    const std::string section = "Servers\\" + server;
    std::string account = profile.GetProfileString(section, "Login User");
    std::string password = profile.GetProfileString(section, "Login Password");
    if (!ask(account, password, server))
        return false;
    profile.WriteProfileInt(section, "Login Required", 1);
    profile.WriteProfileString(section, "Login User", account);
    profile.WriteProfileString(section, "Login Password", password);
    return true;
}

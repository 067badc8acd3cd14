#include "nntp/CLogonPrompt.h"

#include "servers/CServerRecord.h"

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
    CServerRecord record(profile, server);
    std::string account = record.GetLoginUser();
    std::string password = record.GetLoginPassword();
    if (!ask(account, password, server))
        return false;
    record.WriteLogin(account, password);
    return true;
}

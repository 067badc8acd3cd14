#pragma once

#include <functional>
#include <string>
#include <string_view>

// The blocking, request-and-reply side of a news connection, as the group-list
// download uses it. Every failure raises CConnectionException; a cancelled logon
// prompt raises CUserCancelException.
class IBlockingConnection {
  public:
    virtual ~IBlockingConnection() = default;
    // Resolve, connect, check the greeting, log in, select reader mode.
    virtual void Connect() = 0;
    virtual void SendLine(std::string_view line) = 0;
    // The next reply line without its CR LF.
    virtual std::string ReadLine() = 0;
    // Reads one line; returns its code when it equals `code`, else throws.
    virtual int ExpectCode(int code) = 0;
    // Sends "QUIT" when connected (failures ignored) and closes.
    virtual void Close() = 0;
    // While a read waits for the server, `stop` is asked at least every 200 ms; when it
    // answers true the read ends with CUserCancelException, so that a Cancel or a signal acts
    // at once even while the server stalls. Without one, a read waits up to the time limit.
    virtual void SetStopCheck(std::function<bool()> stop) { m_stopCheck = std::move(stop); }

  protected:
    std::function<bool()> m_stopCheck;
};

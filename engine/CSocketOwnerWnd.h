#pragma once

#include <string>
#include <string_view>

// Receives what a news connection reports. The owner may close, delete or replace
// the connection from inside either call; the connection must not touch itself then.
class CSocketOwnerWnd {
  public:
    virtual ~CSocketOwnerWnd() = default;
    // notification: 2024 (lookup), 2025 (socket) or kTimerNotification; error: socket
    // error code, 10060 for a timeout.
    virtual void OnConnectionError(int notification, int error) = 0;
    // One received line without its CR LF. Returns true while a run is still active.
    virtual bool OnResponseLine(std::string_view line) = 0;
    // Every received line has been handed over and the connection is waiting for the
    // server: the moment for work that need not hold up the next reply. The owner must not
    // close, delete or replace the connection from here.
    virtual void OnIdle() {}

    static constexpr int kHostFound = 2024;
    static constexpr int kSocketNotification = 2025;
    static constexpr int kTimerNotification = 0x0113; // WM_TIMER
    static constexpr int kTimeoutError = 10060;
};

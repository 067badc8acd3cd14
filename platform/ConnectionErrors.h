#pragma once

#include <stdexcept>
#include <string>

// A connection failed: lookup, connect, send, read, timeout or an unexpected reply.
class CConnectionException : public std::runtime_error {
  public:
    explicit CConnectionException(const std::string& what, int error = 0)
        : std::runtime_error(what), m_nError(error) {}
    int m_nError; // socket-layer error code where there is one (10060: timeout)
};

// The user cancelled the logon prompt; callers swallow it without a message.
class CUserCancelException : public std::runtime_error {
  public:
    CUserCancelException() : std::runtime_error("cancelled by the user") {}
};

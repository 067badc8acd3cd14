#pragma once

#include <QAbstractSocket>
#include <QHostInfo>

// The connection reports failures with the socket-layer codes of the original
// platform (10060 timed out, 10061 refused, ...), which the run's owner and its log
// messages expect. These map Qt's errors onto the nearest of them.
namespace WinsockErrors {
constexpr int kWouldBlock = 10035;
constexpr int kAborted = 10053; // connection aborted
constexpr int kNoBuffers = 10055;
constexpr int kNotConnected = 10057;
constexpr int kTimedOut = 10060;
constexpr int kRefused = 10061;
constexpr int kHostNotFound = 11001;

int FromSocketError(QAbstractSocket::SocketError error);
int FromLookupError(QHostInfo::HostInfoError error);
} // namespace WinsockErrors

#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

class CSocketOwnerWnd;

// The run's asynchronous line connection to one server.
class INewsConnection {
  public:
    virtual ~INewsConnection() = default;
    // Starts the host lookup and connect; throws CConnectionException when the lookup
    // cannot be started. Lines and errors then reach the owner.
    virtual void Start() = 0;
    // Appends CR LF; throws CConnectionException when the send fails.
    virtual void SendLine(std::string_view line) = 0;
    // Sends "QUIT" when connected, closes the socket, stops the timer.
    virtual void Close() = 0;
};

// Makes the connection for a server name; supplied by the host program.
using NewsConnectionFactory = std::function<std::unique_ptr<INewsConnection>(
    const std::string& server, CSocketOwnerWnd& owner)>;

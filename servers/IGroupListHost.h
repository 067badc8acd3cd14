#pragma once

#include <memory>
#include <string>

#include "servers/IBlockingConnection.h"

// The progress window of a group-list download.
class IGroupDownloadProgress {
  public:
    virtual ~IGroupDownloadProgress() = default;
    virtual void SetCounterText(const std::string& text) = 0;
    // Lets the user interface handle waiting events; returns true once the user cancelled.
    virtual bool PumpMessages() = 0;
};

// What the group-list download needs from the program around it. Installed once at
// start-up by the transport layer (CGroupTable::SetListHost); without one, a fetch
// fails with CConnectionException.
class IGroupListHost {
  public:
    virtual ~IGroupListHost() = default;
    virtual std::unique_ptr<IBlockingConnection> MakeConnection(const std::string& server) = 0;
    virtual std::unique_ptr<IGroupDownloadProgress> MakeProgress(const std::string& server) = 0;
    // Disables (false) or enables (true) the main window while a full list is read.
    virtual void EnableMainWindow(bool enable) = 0;
};

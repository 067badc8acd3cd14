#pragma once

#include <functional>
#include <memory>
#include <string>

#include "servers/IGroupListHost.h"

class CProfile;

// What the group-list download gets from the program: blocking news connections, the
// progress window made by a factory the host sets (the console or the progress dialog),
// and disabling the main window through a host callback.
class CGroupListHost : public IGroupListHost {
  public:
    using ProgressFactory =
        std::function<std::unique_ptr<IGroupDownloadProgress>(const std::string& server)>;
    using EnableFunction = std::function<void(bool enable)>;

    explicit CGroupListHost(CProfile& profile);

    // Without a factory the download shows nothing and only keeps events flowing.
    void SetProgressFactory(ProgressFactory factory);
    // Without one, enabling and disabling the main window does nothing.
    void SetEnableMainWindow(EnableFunction enable);

    std::unique_ptr<IBlockingConnection> MakeConnection(const std::string& server) override;
    std::unique_ptr<IGroupDownloadProgress> MakeProgress(const std::string& server) override;
    void EnableMainWindow(bool enable) override;

  private:
    CProfile& m_profile;
    ProgressFactory m_makeProgress;
    EnableFunction m_enableMainWindow;
};

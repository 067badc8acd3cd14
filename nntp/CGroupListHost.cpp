#include "nntp/CGroupListHost.h"

#include "nntp/CEventPumpProgress.h"
#include "nntp/CNewsConnection.h"

CGroupListHost::CGroupListHost(CProfile& profile) : m_profile(profile) {}

void CGroupListHost::SetProgressFactory(ProgressFactory factory) {
    m_makeProgress = std::move(factory);
}

void CGroupListHost::SetEnableMainWindow(EnableFunction enable) {
    m_enableMainWindow = std::move(enable);
}

std::unique_ptr<IBlockingConnection> CGroupListHost::MakeConnection(const std::string& server) {
    return std::make_unique<CNewsConnection>(server, m_profile);
}

std::unique_ptr<IGroupDownloadProgress> CGroupListHost::MakeProgress(const std::string& server) {
    std::unique_ptr<IGroupDownloadProgress> progress;
    if (m_makeProgress)
        progress = m_makeProgress(server);
    if (!progress)
        progress = std::make_unique<CEventPumpProgress>();
    return progress;
}

void CGroupListHost::EnableMainWindow(bool enable) {
    if (m_enableMainWindow)
        m_enableMainWindow(enable);
}

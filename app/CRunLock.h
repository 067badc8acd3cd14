#pragma once

#include <string>

// Keeps two processes on the same program folder apart (a cron job that overlaps the
// previous night's, or a summary run beside a headless one): both would fetch the same
// articles and overwrite each other's .newsrc and settings. An advisory lock on a file in the
// program folder, released when the process ends, however it ends.
class CRunLock {
  public:
    static constexpr const char* kFileName = "Gleanwick.lock";
    // What the user is told when the lock of `programFolder` is busy.
    static std::string BusyMessage(const std::string& programFolder);

    explicit CRunLock(const std::string& path);
    ~CRunLock();
    CRunLock(const CRunLock&) = delete;
    CRunLock& operator=(const CRunLock&) = delete;

    // True when another process holds the lock. A lock file that cannot be opened does not
    // count: saving will report the folder's problem itself.
    bool IsBusy() const { return m_bBusy; }

  private:
    int m_fd = -1;
    bool m_bBusy = false;
};

#pragma once

#include <cstdio>
#include <ctime>
#include <string>
#include <string_view>

// The run's activity log file: one time-stamped line per entry, flushed at once.
class ActivityLog {
  public:
    ActivityLog() = default;
    ActivityLog(const ActivityLog&) = delete;
    ActivityLog& operator=(const ActivityLog&) = delete;
    ~ActivityLog() { Close(); }

    // Creates (or truncates) folder + "Gleanwick.MMDDYYHHMMSS.log" named after start, in local
    // time. False, and no file, when it cannot be created.
    bool Open(const std::string& folder, std::time_t start);
    void Write(std::string_view text, std::time_t now);
    // The entry of one decoded file.
    void WriteFileDecode(std::string_view fileName, std::string_view from, std::string_view subject,
                         std::time_t now);
    void Close();
    bool IsOpen() const { return m_file != nullptr; }

  private:
    // The time stamp, then the line (with its line end), flushed at once.
    void WriteStamped(std::string_view line, std::time_t now);

    std::FILE* m_file = nullptr;
};

#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Writes a file so that readers (and a crash) see either the old or the complete new
// content: the data goes to a temporary file in the same folder, which is flushed to
// disk and then renamed over the target. Failures throw std::runtime_error; the old
// file is left as it was and the temporary file is removed.
class CAtomicFileWriter {
  public:
    explicit CAtomicFileWriter(std::string path);
    // Removes the temporary files a killed process left beside `path`; returns how many.
    static std::size_t RemoveLeftovers(const std::string& path);
    ~CAtomicFileWriter();
    CAtomicFileWriter(const CAtomicFileWriter&) = delete;
    CAtomicFileWriter& operator=(const CAtomicFileWriter&) = delete;

    void Write(std::string_view data);
    // Replaces the target. With a backup path, the previous target (when there is one)
    // ends up under that name, replacing an older backup; a failure there is ignored.
    void Commit(const std::string& backupPath = {});

  private:
    void Flush();
    void KeepBackup(const std::string& backupPath) const;
    [[noreturn]] void Fail(const char* what) const;

    std::string m_strPath;
    std::string m_strTempPath;
    std::string m_buffer;
    int m_fd = -1;
};

#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One decoded file being written. Creation never follows, replaces or leaves the decode
// folder; writes go through a bounded buffer and every failure is reported.
class OutputFile {
  public:
    enum class CreateResult { Created, AlreadyExists, Failed };

    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    // Creates decodeDir (one level) and decodeDir/groupDir when a group folder is asked for,
    // then the file itself, new only. fileName is already cut to its base name. A group
    // folder name that is not a plain name (empty included) fails.
    CreateResult Create(const std::string& decodeDir, const std::optional<std::string>& groupDir,
                        const std::string& fileName);

    bool Write(const char* data, size_t size);
    // The line and a "\n" (raw MIME parts).
    bool WriteLine(std::string_view line);
    // Hands the buffered bytes to the system. A failure stays with the file: every later
    // Write, Flush and Close reports it.
    bool Flush();
    // Flushes and closes; false when any write, the flush or the close failed (true when no
    // file is open).
    bool Close();
    // Closes and removes the file (a failed or unwanted decode).
    void CloseAndDelete();
    bool IsOpen() const { return m_fd >= 0; }
    bool Failed() const { return m_failed; }
    const std::string& Path() const { return m_path; }

  private:
    int m_fd = -1;
    bool m_failed = false;
    std::string m_path;
    std::vector<char> m_buffer;
};

// The name with everything up to the last '\' cut, then everything up to the last '/'.
std::string BaseFileName(std::string_view name);

#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One decoded file being written. Creation never follows, replaces or leaves the decode
// folder; writes go through a bounded buffer and every failure is reported. The data goes to a
// hidden temporary file beside the final one, which takes the final name only when the file is
// closed as complete (or kept as a failed decode): a process killed in the middle of a file
// leaves no cut-off file that the next run would take for an earlier decode.
class OutputFile {
  public:
    enum class CreateResult { Created, AlreadyExists, Failed };

    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    // Creates decodeDir (one level) and decodeDir/groupDir when a group folder is asked for,
    // then the file, new only: AlreadyExists when anything has the final name. fileName is
    // already cut to its base name. A group folder name that is not a plain name (empty
    // included) fails.
    CreateResult Create(const std::string& decodeDir, const std::optional<std::string>& groupDir,
                        const std::string& fileName);

    bool Write(const char* data, size_t size);
    // The line and a "\n" (raw MIME parts).
    bool WriteLine(std::string_view line);
    // Hands the buffered bytes to the system. A failure stays with the file: every later
    // Write, Flush and Close reports it.
    bool Flush();
    // Flushes, closes and gives the file its final name; false when any write, the flush, the
    // close or the naming failed (true when no file is open). A file that fails stays under
    // its temporary name for Keep or CloseAndDelete.
    bool Close();
    // Gives whatever was written the final name (a failed decode the user keeps), unless
    // something has taken that name meanwhile; then the data is removed.
    void Keep();
    // Closes and removes the data (a failed or unwanted decode).
    void CloseAndDelete();
    bool IsOpen() const { return m_fd >= 0; }
    bool Failed() const { return m_failed; }
    // errno of the first failed write, flush or close; 0 while none failed.
    int Error() const { return m_error; }
    // The final path.
    const std::string& Path() const { return m_path; }

    // Whether a file name is one of the temporary names this class gives.
    static bool IsTemporaryName(std::string_view name);
    // Removes the temporary files that a killed process left in decodeDir and in its folders
    // one level down (group folders); links are not followed. Returns how many went.
    static size_t RemoveLeftovers(const std::string& decodeDir);

  private:
    bool CloseDescriptor();
    bool Rename();
    void Reset();

    int m_fd = -1;
    int m_folderFd = -1; // the folder of both names, held so that they stay in one place
    bool m_failed = false;
    int m_error = 0;
    std::string m_path;
    std::string m_name;
    std::string m_tempName; // set while the data exists under the temporary name
    std::vector<char> m_buffer;
};

// The name with everything up to the last '\' cut, then everything up to the last '/'.
std::string BaseFileName(std::string_view name);

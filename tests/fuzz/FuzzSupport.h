#pragma once

// Helpers shared by the fuzz targets: reporting a broken property, a private folder for the
// files a target writes, and splitting the input into lines.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

// A property that must hold for every input does not: libFuzzer keeps the input as a crash.
[[noreturn]] inline void Violation(const char* what) {
    std::fprintf(stderr, "fuzz property violated: %s\n", what);
    std::abort();
}

inline void Check(bool holds, const char* what) {
    if (!holds)
        Violation(what);
}

// The process's own folder, ending in '/', removed when the process exits: in memory where
// the system offers it (the targets save files, and every save waits for the disk), else under
// /tmp. It is also the program folder ($GLEANWICK_HOME), so nothing a target does reaches the
// user's.
inline const std::string& Folder() {
    // Never destroyed: the exit handler that removes the folder runs after static destructors.
    static const std::string& folder = *new std::string([] {
        char inMemory[] = "/dev/shm/gw-fuzz-XXXXXX";
        char onDisk[] = "/tmp/gw-fuzz-XXXXXX";
        const char* made = mkdtemp(inMemory);
        if (made == nullptr)
            made = mkdtemp(onDisk);
        if (made == nullptr)
            Violation("cannot make the temporary folder");
        const std::string path = std::string(made) + "/";
        setenv("GLEANWICK_HOME", path.c_str(), 1);
        setenv("TZ", "UTC", 1);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(Folder(), ignored);
        });
        return path;
    }());
    return folder;
}

inline size_t OpenDescriptors() {
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, std::string_view text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!out.flush())
        Violation("cannot write a file in the temporary folder");
}

// Walks everything under `root` (the process's folder): no symbolic link was made, and every
// path is one `allowed` accepts.
template <class Allowed> void CheckFolder(const std::string& root, Allowed&& allowed) {
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(root, error);
         it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        if (error)
            Violation("cannot walk the temporary folder");
        if (it->is_symlink())
            Violation("a symbolic link was made");
        if (!allowed(it->path().string()))
            Violation("a file where nothing should be written");
    }
}

// Removes everything under `root`, leaving the folder itself.
inline void EmptyFolder(const std::string& root) {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(root, ignored))
        std::filesystem::remove_all(entry.path(), ignored);
}

// The text's lines, split at '\n' (a last line without one included, nothing after a final
// '\n').
inline std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t end = std::min(text.find('\n', pos), text.size());
        lines.emplace_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    return lines;
}

// Calls visit with each of the text's lines (split at '\n'; the text after the last one too, if
// empty), each in a heap block of exactly its length, so that ASan sees any read past its end.
template <typename Visit> void ForEachExactLine(std::string_view text, Visit visit) {
    size_t pos = 0;
    while (pos <= text.size()) {
        const size_t end = std::min(text.find('\n', pos), text.size());
        const size_t length = end - pos;
        const auto copy = std::make_unique<char[]>(length);
        if (length > 0)
            std::memcpy(copy.get(), text.data() + pos, length);
        pos = end + 1;
        visit(std::string_view(copy.get(), length));
    }
}

} // namespace fuzz

#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The per-user registry (HKEY_CURRENT_USER) as a small in-memory tree of keys, persisted as a
// text file in the .reg export format.
//
// Keys are addressed by backslash-separated paths relative to HKEY_CURRENT_USER
// ("Software\Hollowfen\Gleanwick\Servers"); the empty path is the root. Key and value names
// compare case-insensitively (ASCII) and keep the case they were created with. Subkeys
// enumerate in case-insensitive name order, values in creation order.
//
// Changes stay in memory until Save(), which writes the file atomically and only when
// something changed since the last Load() or Save().
class CHive {
  public:
    // Registry value types, numbered as in the .reg format's hex(N) notation.
    enum : uint32_t { kString = 1, kBinary = 3, kDword = 4 };

    struct Value {
        std::string name;
        uint32_t type = kString;
        std::string data; // string bytes, binary bytes, or 4 bytes little-endian for a DWORD

        std::optional<uint32_t> AsDword() const;
    };

    enum class LoadResult {
        Loaded,     // the file was read
        Missing,    // no file yet: an empty store
        SetAside,   // the file could not be parsed; it was renamed and the store is empty
        Unreadable, // the file could not be read or set aside; the store is empty and Save refuses
    };

    CHive();
    ~CHive();
    CHive(const CHive&) = delete;
    CHive& operator=(const CHive&) = delete;

    // Replaces the store with the file's contents and remembers the path for Save().
    // Problems are also reported on standard error.
    LoadResult Load(const std::string& path);
    // Writes the file when something changed. False when writing failed: the previous file is
    // then left as it was, the changes stay to be saved later, and the caller reports
    // LastError().
    bool Save();
    // Removes the temporary files a killed Save left beside the file at `path`.
    static std::size_t RemoveLeftovers(const std::string& path);
    bool IsModified() const { return m_bModified; }
    const std::string& Path() const { return m_strPath; }
    const std::string& LastError() const { return m_strLastError; }

    bool KeyExists(std::string_view key) const;
    // Creates the key and its parents. False for a name holding a line break or NUL, or nested
    // deeper than 512 keys.
    bool CreateKey(std::string_view key);
    // Deletes the key with its subtree. False when it did not exist (or is the root).
    bool DeleteKey(std::string_view key);
    // The name of the index-th subkey, or nothing when the key or the index does not exist.
    std::optional<std::string> EnumKey(std::string_view key, size_t index) const;
    // The index-th value, or nothing when the key or the index does not exist.
    const Value* EnumValue(std::string_view key, size_t index) const;

    const Value* QueryValue(std::string_view key, std::string_view name) const;
    std::optional<uint32_t> GetDword(std::string_view key, std::string_view name) const;
    std::optional<std::string> GetString(std::string_view key, std::string_view name) const;
    std::optional<std::string> GetBinary(std::string_view key, std::string_view name) const;

    // Setters create the key when needed. Setting an existing value keeps its position and the
    // case of its name. False for a key CreateKey refuses.
    bool SetValue(std::string_view key, std::string_view name, uint32_t type,
                  std::string_view data);
    bool SetDword(std::string_view key, std::string_view name, uint32_t value);
    bool SetString(std::string_view key, std::string_view name, std::string_view value);
    bool SetBinary(std::string_view key, std::string_view name, std::string_view bytes);
    bool DeleteValue(std::string_view key, std::string_view name);

  private:
    static void KeepPrivate(const std::string& path);
    struct Node;

    Node* Find(std::string_view key) const;
    Node* FindOrCreate(std::string_view key);
    void Touch() { m_bModified = true; }
    bool SetAside(const std::string& reason);

    std::unique_ptr<Node> m_pRoot;
    std::string m_strPath;
    std::string m_strLastError;
    bool m_bModified = false;
    bool m_bReadOnly = false;
};

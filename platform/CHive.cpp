#include "platform/CHive.h"

#include "platform/CRegText.h"
#include "platform/TempSiblings.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace {

constexpr std::string_view kRootName = "HKEY_CURRENT_USER";
// Keys nest at most this deep, so that writing and freeing the tree (both recursive) stay
// within the stack whatever a hand-edited file holds.
constexpr size_t kMaxDepth = 512;

char Fold(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool NamesEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (Fold(a[i]) != Fold(b[i])) {
            return false;
        }
    }
    return true;
}

std::string Folded(std::string_view name) {
    std::string folded(name);
    for (char& c : folded) {
        c = Fold(c);
    }
    return folded;
}

bool NameLess(std::string_view a, std::string_view b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(Fold(x)) < static_cast<unsigned char>(Fold(y));
    });
}

// The path's components; empty components (doubled or outer backslashes) are ignored.
std::vector<std::string_view> SplitPath(std::string_view path) {
    std::vector<std::string_view> parts;
    while (!path.empty()) {
        const size_t pos = path.find('\\');
        const std::string_view part = path.substr(0, pos);
        if (!part.empty()) {
            parts.push_back(part);
        }
        if (pos == std::string_view::npos) {
            break;
        }
        path.remove_prefix(pos + 1);
    }
    return parts;
}

bool ValidKeyName(std::string_view name) {
    return name.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

std::string DwordBytes(uint32_t value) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i) {
        bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
    return bytes;
}

std::string TimeStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

// Renames without ever replacing an existing file.
bool RenameNoReplace(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return false;
    }
    // File systems without RENAME_NOREPLACE: a hard link fails on an existing name too.
    if (link(from.c_str(), to.c_str()) != 0) {
        return false;
    }
    unlink(from.c_str());
    return true;
}

} // namespace

struct CHive::Node {
    std::string name;
    std::vector<std::unique_ptr<Node>> keys;            // sorted by NameLess
    std::vector<Value> values;                          // creation order
    std::unordered_map<std::string, size_t> valueIndex; // folded name -> position in values

    std::vector<std::unique_ptr<Node>>::const_iterator LowerBound(std::string_view key) const {
        return std::lower_bound(keys.begin(), keys.end(), key,
                                [](const std::unique_ptr<Node>& node, std::string_view k) {
                                    return NameLess(node->name, k);
                                });
    }

    Node* Child(std::string_view key) const {
        const auto it = LowerBound(key);
        return (it != keys.end() && NamesEqual((*it)->name, key)) ? it->get() : nullptr;
    }

    Node* AddChild(std::string_view key) {
        if (Node* existing = Child(key)) {
            return existing;
        }
        const auto it = keys.begin() + (LowerBound(key) - keys.cbegin());
        auto node = std::make_unique<Node>();
        node->name = key;
        return keys.insert(it, std::move(node))->get();
    }

    Value* FindValue(std::string_view valueName) {
        const auto it = valueIndex.find(Folded(valueName));
        return it != valueIndex.end() ? &values[it->second] : nullptr;
    }

    void AddValue(Value value) {
        valueIndex.emplace(Folded(value.name), values.size());
        values.push_back(std::move(value));
    }

    bool EraseValue(std::string_view valueName) {
        const auto it = valueIndex.find(Folded(valueName));
        if (it == valueIndex.end()) {
            return false;
        }
        const size_t position = it->second;
        valueIndex.erase(it);
        values.erase(values.begin() + static_cast<std::ptrdiff_t>(position));
        for (auto& entry : valueIndex) {
            if (entry.second > position) {
                --entry.second;
            }
        }
        return true;
    }

    void Clear() {
        keys.clear();
        values.clear();
        valueIndex.clear();
    }
};

std::optional<uint32_t> CHive::Value::AsDword() const {
    if (type != kDword || data.size() != 4) {
        return std::nullopt;
    }
    uint32_t result = 0;
    for (int i = 3; i >= 0; --i) {
        result = (result << 8) | static_cast<unsigned char>(data[i]);
    }
    return result;
}

CHive::CHive() : m_pRoot(std::make_unique<Node>()) {
    m_pRoot->name = kRootName;
}

CHive::~CHive() = default;

CHive::Node* CHive::Find(std::string_view key) const {
    Node* node = m_pRoot.get();
    for (std::string_view part : SplitPath(key)) {
        node = node->Child(part);
        if (node == nullptr) {
            return nullptr;
        }
    }
    return node;
}

CHive::Node* CHive::FindOrCreate(std::string_view key) {
    const std::vector<std::string_view> parts = SplitPath(key);
    if (!ValidKeyName(key) || parts.size() > kMaxDepth) {
        return nullptr;
    }
    Node* node = m_pRoot.get();
    for (std::string_view part : parts) {
        Node* child = node->Child(part);
        if (child == nullptr) {
            child = node->AddChild(part);
            Touch();
        }
        node = child;
    }
    return node;
}

bool CHive::KeyExists(std::string_view key) const {
    return Find(key) != nullptr;
}

bool CHive::CreateKey(std::string_view key) {
    return FindOrCreate(key) != nullptr;
}

bool CHive::DeleteKey(std::string_view key) {
    const std::vector<std::string_view> parts = SplitPath(key);
    if (parts.empty()) {
        return false;
    }
    Node* parent = m_pRoot.get();
    for (size_t i = 0; i + 1 < parts.size() && parent != nullptr; ++i) {
        parent = parent->Child(parts[i]);
    }
    if (parent == nullptr) {
        return false;
    }
    const auto it = parent->LowerBound(parts.back());
    if (it == parent->keys.end() || !NamesEqual((*it)->name, parts.back())) {
        return false;
    }
    parent->keys.erase(it);
    Touch();
    return true;
}

std::optional<std::string> CHive::EnumKey(std::string_view key, size_t index) const {
    const Node* node = Find(key);
    if (node == nullptr || index >= node->keys.size()) {
        return std::nullopt;
    }
    return node->keys[index]->name;
}

const CHive::Value* CHive::EnumValue(std::string_view key, size_t index) const {
    const Node* node = Find(key);
    if (node == nullptr || index >= node->values.size()) {
        return nullptr;
    }
    return &node->values[index];
}

const CHive::Value* CHive::QueryValue(std::string_view key, std::string_view name) const {
    Node* node = Find(key);
    return node != nullptr ? node->FindValue(name) : nullptr;
}

std::optional<uint32_t> CHive::GetDword(std::string_view key, std::string_view name) const {
    const Value* value = QueryValue(key, name);
    return value != nullptr ? value->AsDword() : std::nullopt;
}

std::optional<std::string> CHive::GetString(std::string_view key, std::string_view name) const {
    const Value* value = QueryValue(key, name);
    if (value == nullptr || value->type != kString) {
        return std::nullopt;
    }
    return value->data;
}

std::optional<std::string> CHive::GetBinary(std::string_view key, std::string_view name) const {
    const Value* value = QueryValue(key, name);
    if (value == nullptr || value->type != kBinary) {
        return std::nullopt;
    }
    return value->data;
}

bool CHive::SetValue(std::string_view key, std::string_view name, uint32_t type,
                     std::string_view data) {
    Node* node = FindOrCreate(key);
    if (node == nullptr) {
        return false;
    }
    Value* value = node->FindValue(name);
    if (value == nullptr) {
        node->AddValue(Value{std::string(name), type, std::string(data)});
        Touch();
        return true;
    }
    if (value->type != type || value->data != data) {
        value->type = type;
        value->data = data;
        Touch();
    }
    return true;
}

bool CHive::SetDword(std::string_view key, std::string_view name, uint32_t value) {
    return SetValue(key, name, kDword, DwordBytes(value));
}

bool CHive::SetString(std::string_view key, std::string_view name, std::string_view value) {
    return SetValue(key, name, kString, value);
}

bool CHive::SetBinary(std::string_view key, std::string_view name, std::string_view bytes) {
    return SetValue(key, name, kBinary, bytes);
}

bool CHive::DeleteValue(std::string_view key, std::string_view name) {
    Node* node = Find(key);
    if (node == nullptr) {
        return false;
    }
    if (!node->EraseValue(name)) {
        return false;
    }
    Touch();
    return true;
}

namespace {

bool ReadWholeFile(const std::string& path, std::string& text, int& error) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        error = errno;
        return false;
    }
    char buffer[65536];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        text.append(buffer, got);
    }
    const bool ok = std::ferror(file) == 0;
    error = ok ? 0 : EIO;
    std::fclose(file);
    return ok;
}

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t written = write(fd, data.data(), data.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        data.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

std::string Folder(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool MakeFolders(const std::string& folder) {
    struct stat info {};
    if (stat(folder.c_str(), &info) == 0) {
        return S_ISDIR(info.st_mode);
    }
    const std::string parent = Folder(folder);
    if (parent != folder && !MakeFolders(parent)) {
        return false;
    }
    return mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

void SyncFolder(const std::string& folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

} // namespace

CHive::LoadResult CHive::Load(const std::string& path) {
    m_strPath = path;
    m_strLastError.clear();
    m_bReadOnly = false;
    m_pRoot->Clear();
    m_bModified = false;

    std::string text;
    int error = 0;
    if (!ReadWholeFile(path, text, error)) {
        if (error == ENOENT) {
            return LoadResult::Missing;
        }
        m_bReadOnly = true;
        m_strLastError = "cannot read " + path + ": " + std::strerror(error);
        std::fprintf(stderr,
                     "Gleanwick: %s. Starting with empty settings; they will not be saved "
                     "over that file.\n",
                     m_strLastError.c_str());
        return LoadResult::Unreadable;
    }
    KeepPrivate(path);
    if (text.empty()) {
        return LoadResult::Loaded;
    }
    std::string reason;
    if (CRegText::Parse(text, *this, reason)) {
        m_bModified = false;
        return LoadResult::Loaded;
    }
    m_pRoot->Clear();
    m_bModified = false;
    return SetAside(reason) ? LoadResult::SetAside : LoadResult::Unreadable;
}

// The file holds the servers' passwords: one that others may read (copied in by hand, or
// restored from a backup) is made private again.
void CHive::KeepPrivate(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & 077) != 0)
        ::chmod(path.c_str(), 0600);
}

// Keeps an unparsable settings file under a new name so that nothing the user had is lost.
bool CHive::SetAside(const std::string& reason) {
    const std::string stem = m_strPath + ".corrupt-" + TimeStamp();
    std::string target = stem;
    for (int n = 1; !RenameNoReplace(m_strPath, target); ++n) {
        if (errno != EEXIST || n > 1000) {
            m_bReadOnly = true;
            m_strLastError = "cannot parse " + m_strPath + " (" + reason +
                             ") and cannot rename it: " + std::strerror(errno);
            std::fprintf(stderr,
                         "Gleanwick: %s. Starting with empty settings; they will not be saved "
                         "over that file.\n",
                         m_strLastError.c_str());
            return false;
        }
        target = stem + "-" + std::to_string(n);
    }
    m_strLastError = "cannot parse " + m_strPath + " (" + reason + "); it was kept as " + target;
    std::fprintf(stderr,
                 "Gleanwick: the settings file %s could not be read (%s). It was kept as %s "
                 "and the program starts with empty settings.\n",
                 m_strPath.c_str(), reason.c_str(), target.c_str());
    return true;
}

std::size_t CHive::RemoveLeftovers(const std::string& path) {
    return RemoveTempSiblings(path);
}

bool CHive::Save() {
    if (!m_bModified) {
        return true;
    }
    if (m_strPath.empty() || m_bReadOnly) {
        m_strLastError = m_strPath.empty() ? "no settings file was loaded"
                                           : "the settings file " + m_strPath +
                                                 " could not be read and is not overwritten";
        return false;
    }
    const std::string folder = Folder(m_strPath);
    std::string temp = TempSiblingTemplate(m_strPath);
    int fd = -1;
    if (MakeFolders(folder)) {
        fd = mkstemp(temp.data());
    }
    if (fd < 0) {
        m_strLastError = "cannot create a file in " + folder + ": " + std::strerror(errno);
        return false;
    }
    const std::string text = CRegText::Serialize(*this);
    int error = 0;
    if (fchmod(fd, 0600) != 0 || !WriteAll(fd, text) || fsync(fd) != 0) {
        error = errno;
    }
    if (close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0 && std::rename(temp.c_str(), m_strPath.c_str()) != 0) {
        error = errno;
    }
    if (error == 0) {
        SyncFolder(folder);
        m_bModified = false;
        return true;
    }
    unlink(temp.c_str());
    m_strLastError = "cannot write " + m_strPath + ": " + std::strerror(error);
    return false;
}

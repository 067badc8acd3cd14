#include "platform/CStringTable.h"

#include <cstddef>
#include <map>

// The bytes of res/strings.txt, generated at build time.
extern const char kStringTableText[];
extern const std::size_t kStringTableSize;

namespace {

std::string Unescape(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[++i];
        out += next == 'n' ? '\n' : next == 't' ? '\t' : next;
    }
    return out;
}

// "number<TAB>text" lines; blank lines and '#' comments are skipped.
std::map<unsigned, std::string> ParseTable(std::string_view text) {
    std::map<unsigned, std::string> table;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        const size_t tab = line.find('\t');
        if (line.empty() || line.front() == '#' || tab == 0 || tab == std::string_view::npos) {
            continue;
        }
        unsigned id = 0;
        bool numeric = true;
        for (char c : line.substr(0, tab)) {
            numeric = numeric && c >= '0' && c <= '9';
            id = id * 10 + static_cast<unsigned>(c - '0');
        }
        if (numeric) {
            table.emplace(id, Unescape(line.substr(tab + 1)));
        }
    }
    return table;
}

const std::map<unsigned, std::string>& Table() {
    static const std::map<unsigned, std::string> table =
        ParseTable(std::string_view(kStringTableText, kStringTableSize));
    return table;
}

} // namespace

const std::string& CStringTable::Load(unsigned id) {
    static const std::string empty;
    const auto& table = Table();
    const auto it = table.find(id);
    return it != table.end() ? it->second : empty;
}

std::string CStringTable::Format(unsigned id, std::string_view arg) {
    const std::string& text = Load(id);
    std::string out;
    size_t from = 0;
    for (size_t at = text.find("%1"); at != std::string::npos; at = text.find("%1", from)) {
        out.append(text, from, at - from);
        out += arg;
        from = at + 2;
    }
    out.append(text, from);
    return out;
}

#include "platform/CRegText.h"

#include "platform/CHive.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeaderOld = "REGEDIT4";
constexpr std::string_view kRoot = "HKEY_CURRENT_USER";
constexpr size_t kHexBytesPerLine = 25;

// ---- writing ----

std::string Quote(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\0':
            out += "\\0";
            break;
        default:
            out += c;
        }
    }
    out += '"';
    return out;
}

std::string HexData(std::string_view prefix, std::string_view bytes) {
    std::string out(prefix);
    char hex[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(hex, sizeof hex, "%02x", static_cast<unsigned char>(bytes[i]));
        out += hex;
        if (i + 1 == bytes.size()) {
            break;
        }
        out += ',';
        if ((i + 1) % kHexBytesPerLine == 0) {
            out += "\\\n  ";
        }
    }
    return out;
}

std::string ValueLine(const CHive::Value& value) {
    std::string line = value.name.empty() ? std::string("@") : Quote(value.name);
    line += '=';
    if (value.type == CHive::kString) {
        return line + Quote(value.data);
    }
    if (const std::optional<uint32_t> dword = value.AsDword()) {
        char text[16];
        std::snprintf(text, sizeof text, "dword:%08x", *dword);
        return line + text;
    }
    if (value.type == CHive::kBinary) {
        return line + HexData("hex:", value.data);
    }
    char prefix[24];
    std::snprintf(prefix, sizeof prefix, "hex(%x):", value.type);
    return line + HexData(prefix, value.data);
}

void WriteKey(const CHive& hive, const std::string& path, std::string& out) {
    out += '[';
    out += kRoot;
    if (!path.empty()) {
        out += '\\';
        out += path;
    }
    out += "]\n";
    for (size_t i = 0; const CHive::Value* value = hive.EnumValue(path, i); ++i) {
        out += ValueLine(*value);
        out += '\n';
    }
    out += '\n';
    for (size_t i = 0; std::optional<std::string> name = hive.EnumKey(path, i); ++i) {
        WriteKey(hive, path.empty() ? *name : path + '\\' + *name, out);
    }
}

// ---- reading ----

void AppendUtf8(uint32_t code, std::string& out) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// UTF-16LE bytes as UTF-8; unpaired surrogates become U+FFFD, an odd last byte is dropped.
std::string Utf16ToUtf8(std::string_view bytes) {
    std::string out;
    auto unit = [&](size_t i) {
        return static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) |
               (static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8);
    };
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        uint32_t code = unit(i);
        if (code >= 0xD800 && code < 0xDC00 && i + 3 < bytes.size()) {
            const uint32_t low = unit(i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        if (code >= 0xD800 && code < 0xE000) {
            code = 0xFFFD;
        }
        AppendUtf8(code, out);
    }
    return out;
}

std::string Decode(std::string_view text) {
    if (text.starts_with("\xFF\xFE")) {
        return Utf16ToUtf8(text.substr(2));
    }
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    return std::string(text);
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimRight(std::string_view s) {
    while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r')) {
        s.remove_suffix(1);
    }
    return s;
}

std::string_view TrimLeft(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) {
        s.remove_prefix(1);
    }
    return s;
}

bool IEquals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        x = (x >= 'a' && x <= 'z') ? static_cast<char>(x - 32) : x;
        y = (y >= 'a' && y <= 'z') ? static_cast<char>(y - 32) : y;
        if (x != y) {
            return false;
        }
    }
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

class CParser {
  public:
    CParser(CHive& hive, std::string& error) : m_hive(hive), m_error(error) {}

    bool Run(std::string_view text) {
        const std::string decoded = Decode(text);
        std::string_view rest = decoded;
        bool headerSeen = false;
        while (!rest.empty()) {
            std::string line = NextLogicalLine(rest);
            const std::string_view trimmed = TrimLeft(line);
            if (trimmed.empty() || trimmed.front() == ';') {
                continue;
            }
            if (!headerSeen) {
                if (trimmed != kHeader && trimmed != kHeaderOld) {
                    return Fail("the first line is not \"" + std::string(kHeader) + "\"");
                }
                headerSeen = true;
                continue;
            }
            if (!ParseLine(trimmed)) {
                return false;
            }
        }
        return headerSeen || Fail("the file has no header line");
    }

  private:
    // One line, joined with its continuation lines (a trailing backslash outside quotes).
    std::string NextLogicalLine(std::string_view& rest) {
        std::string line;
        for (;;) {
            ++m_nLine;
            const size_t end = rest.find('\n');
            std::string_view physical = TrimRight(rest.substr(0, end));
            rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
            if (!line.empty()) {
                physical = TrimLeft(physical);
            }
            line += physical;
            if (!EndsWithContinuation(line) || rest.empty()) {
                return line;
            }
            line.pop_back();
        }
    }

    static bool EndsWithContinuation(std::string_view line) {
        if (line.empty() || line.back() != '\\' || line.front() == '[') {
            return false;
        }
        const size_t eq = line.find("=hex");
        return eq != std::string_view::npos;
    }

    bool Fail(const std::string& reason) {
        m_error = "line " + std::to_string(m_nLine) + ": " + reason;
        return false;
    }

    bool ParseLine(std::string_view line) {
        if (line.front() == '[') {
            return ParseKeyLine(line);
        }
        if (line.front() == '"' || line.front() == '@') {
            return ParseValueLine(line);
        }
        return Fail("unrecognised line");
    }

    bool ParseKeyLine(std::string_view line) {
        if (line.back() != ']') {
            return Fail("a key line does not end with ']'");
        }
        line = line.substr(1, line.size() - 2);
        const bool remove = line.starts_with('-');
        if (remove) {
            line.remove_prefix(1);
        }
        const size_t slash = line.find('\\');
        const std::string_view root = line.substr(0, slash);
        m_bInKey = true;
        m_bOtherRoot = !IEquals(root, kRoot) && !IEquals(root, "HKCU");
        m_strKey =
            slash == std::string_view::npos ? std::string() : std::string(line.substr(slash + 1));
        if (m_bOtherRoot) {
            return true;
        }
        if (remove) {
            m_hive.DeleteKey(m_strKey);
            m_bOtherRoot = true; // values under a deleted key are ignored
            return true;
        }
        return m_hive.CreateKey(m_strKey) || Fail("invalid key name");
    }

    // A quoted text starting at text[0] == '"'; text is advanced past the closing quote.
    std::optional<std::string> Unquote(std::string_view& text) {
        std::string out;
        for (size_t i = 1; i < text.size(); ++i) {
            const char c = text[i];
            if (c == '"') {
                text.remove_prefix(i + 1);
                return out;
            }
            if (c != '\\' || i + 1 == text.size()) {
                out += c;
                continue;
            }
            const char next = text[++i];
            switch (next) {
            case '\\':
            case '"':
                out += next;
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case '0':
                out += '\0';
                break;
            default: // not an escape: keep the backslash
                out += '\\';
                out += next;
            }
        }
        return std::nullopt;
    }

    bool ParseValueLine(std::string_view line) {
        if (!m_bInKey) {
            return Fail("a value before the first key");
        }
        std::string name;
        if (line.front() == '@') {
            line.remove_prefix(1);
        } else {
            std::optional<std::string> quoted = Unquote(line);
            if (!quoted) {
                return Fail("a value name without its closing quote");
            }
            name = std::move(*quoted);
        }
        line = TrimLeft(line);
        if (!line.starts_with('=')) {
            return Fail("'=' expected after the value name");
        }
        line = TrimLeft(line.substr(1));
        return ParseData(name, line);
    }

    bool ParseData(const std::string& name, std::string_view data) {
        if (data == "-") {
            if (!m_bOtherRoot) {
                m_hive.DeleteValue(m_strKey, name);
            }
            return true;
        }
        uint32_t type = 0;
        std::string bytes;
        if (data.starts_with('"')) {
            std::optional<std::string> text = Unquote(data);
            if (!text || !TrimLeft(data).empty()) {
                return Fail("a malformed string value");
            }
            type = CHive::kString;
            bytes = std::move(*text);
        } else if (data.starts_with("dword:")) {
            if (!ParseDword(data.substr(6), bytes)) {
                return Fail("a malformed dword value");
            }
            type = CHive::kDword;
        } else if (data.starts_with("hex")) {
            if (!ParseHexValue(data.substr(3), type, bytes)) {
                return Fail("a malformed hex value");
            }
        } else {
            return Fail("an unknown value type");
        }
        if (!m_bOtherRoot) {
            m_hive.SetValue(m_strKey, name, type, bytes);
        }
        return true;
    }

    static bool ParseDword(std::string_view digits, std::string& bytes) {
        if (digits.empty() || digits.size() > 8) {
            return false;
        }
        uint32_t value = 0;
        for (char c : digits) {
            const int d = HexDigit(c);
            if (d < 0) {
                return false;
            }
            value = (value << 4) | static_cast<uint32_t>(d);
        }
        bytes.clear();
        for (int i = 0; i < 4; ++i) {
            bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
        }
        return true;
    }

    // After "hex": either ":" or "(N):", then comma-separated bytes.
    static bool ParseHexValue(std::string_view rest, uint32_t& type, std::string& bytes) {
        type = CHive::kBinary;
        if (rest.starts_with('(')) {
            const size_t close = rest.find(')');
            if (close == std::string_view::npos || close == 1 || close > 9) {
                return false;
            }
            type = 0;
            for (char c : rest.substr(1, close - 1)) {
                const int d = HexDigit(c);
                if (d < 0) {
                    return false;
                }
                type = (type << 4) | static_cast<uint32_t>(d);
            }
            rest.remove_prefix(close + 1);
        }
        if (!rest.starts_with(':') || !ParseHexBytes(rest.substr(1), bytes)) {
            return false;
        }
        if (type == CHive::kString) { // a string written as hex(1) is UTF-16LE with a NUL
            bytes = Utf16ToUtf8(bytes);
            while (!bytes.empty() && bytes.back() == '\0') {
                bytes.pop_back();
            }
        }
        return true;
    }

    static bool ParseHexBytes(std::string_view list, std::string& bytes) {
        list = TrimLeft(list);
        while (!list.empty()) {
            const size_t comma = list.find(',');
            const std::string_view item = TrimRight(TrimLeft(list.substr(0, comma)));
            if (item.size() != 2 || HexDigit(item[0]) < 0 || HexDigit(item[1]) < 0) {
                return false;
            }
            bytes += static_cast<char>(HexDigit(item[0]) * 16 + HexDigit(item[1]));
            if (comma == std::string_view::npos) {
                return true;
            }
            list.remove_prefix(comma + 1);
            if (TrimLeft(list).empty()) { // a trailing comma
                return true;
            }
        }
        return true;
    }

    CHive& m_hive;
    std::string& m_error;
    std::string m_strKey;
    size_t m_nLine = 0;
    bool m_bInKey = false;
    bool m_bOtherRoot = false;
};

} // namespace

std::string CRegText::Serialize(const CHive& hive) {
    std::string out(kHeader);
    out += "\n\n";
    if (hive.EnumValue("", 0) != nullptr) {
        WriteKey(hive, "", out);
        return out;
    }
    for (size_t i = 0; std::optional<std::string> name = hive.EnumKey("", i); ++i) {
        WriteKey(hive, *name, out);
    }
    return out;
}

bool CRegText::Parse(std::string_view text, CHive& hive, std::string& error) {
    CParser parser(hive, error);
    return parser.Run(text);
}

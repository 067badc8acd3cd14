#include "platform/ConsoleText.h"

#include <cstdint>

namespace {

bool IsControl(uint32_t codePoint) {
    return codePoint < 0x20 || (codePoint >= 0x7f && codePoint < 0xa0);
}

void AppendUtf8(std::string& out, uint32_t codePoint) {
    if (IsControl(codePoint)) {
        out += '?';
        return;
    }
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
        return;
    }
    if (codePoint < 0x800) {
        out += static_cast<char>(0xc0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3f));
        return;
    }
    if (codePoint < 0x10000) {
        out += static_cast<char>(0xe0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (codePoint & 0x3f));
        return;
    }
    out += static_cast<char>(0xf0 | (codePoint >> 18));
    out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3f));
    out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3f));
    out += static_cast<char>(0x80 | (codePoint & 0x3f));
}

// Decodes one UTF-8 sequence at `pos`; returns its length, or 0 when it is not valid
// (overlong forms, surrogates and values above U+10FFFF included).
std::size_t DecodeUtf8(std::string_view s, std::size_t pos, uint32_t& codePoint) {
    const auto lead = static_cast<unsigned char>(s[pos]);
    std::size_t length = 0;
    uint32_t minimum = 0;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    }
    if ((lead & 0xe0) == 0xc0) {
        length = 2, minimum = 0x80, codePoint = lead & 0x1f;
    } else if ((lead & 0xf0) == 0xe0) {
        length = 3, minimum = 0x800, codePoint = lead & 0x0f;
    } else if ((lead & 0xf8) == 0xf0) {
        length = 4, minimum = 0x10000, codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (pos + length > s.size())
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(s[pos + i]);
        if ((next & 0xc0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (next & 0x3f);
    }
    if (codePoint < minimum || codePoint > 0x10ffff || (codePoint >= 0xd800 && codePoint <= 0xdfff))
        return 0;
    return length;
}

bool IsValidUtf8(std::string_view s) {
    uint32_t codePoint = 0;
    for (std::size_t pos = 0; pos < s.size();) {
        const std::size_t length = DecodeUtf8(s, pos, codePoint);
        if (length == 0)
            return false;
        pos += length;
    }
    return true;
}

} // namespace

std::string ConsoleText(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    if (!IsValidUtf8(bytes)) {
        for (const char c : bytes)
            AppendUtf8(out, static_cast<unsigned char>(c));
        return out;
    }
    uint32_t codePoint = 0;
    for (std::size_t pos = 0; pos < bytes.size();) {
        const std::size_t length = DecodeUtf8(bytes, pos, codePoint);
        if (IsControl(codePoint))
            out += '?';
        else
            out.append(bytes.substr(pos, length));
        pos += length;
    }
    return out;
}

std::string FitColumns(std::string_view utf8, std::size_t columns) {
    std::size_t characters = 0;
    for (std::size_t pos = 0; pos < utf8.size(); ++pos) {
        const bool continuation = (static_cast<unsigned char>(utf8[pos]) & 0xc0) == 0x80;
        if (continuation)
            continue;
        if (characters == columns)
            return std::string(utf8.substr(0, pos));
        ++characters;
    }
    return std::string(utf8);
}

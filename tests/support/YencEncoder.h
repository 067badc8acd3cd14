#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/Crc32.h"

// The data lines of yEnc-encoded bytes, without line ends, as a conformant encoder writes them:
// NUL, LF, CR and "=" always escaped, a blank or TAB at either end of a line and a "." at its
// start too; a line ends once it holds lineLength characters (one more when the last one is
// escaped).
inline std::vector<std::string> YencEncodeLines(std::string_view bytes, int lineLength = 128) {
    const size_t length = static_cast<size_t>(lineLength);
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const char c = static_cast<char>(static_cast<unsigned char>(bytes[i]) + 42);
        const bool first = line.empty();
        const bool last = line.size() + 1 >= length || i + 1 == bytes.size();
        const bool edgeBlank = (c == ' ' || c == '\t') && (first || last);
        if (c == '\0' || c == '\n' || c == '\r' || c == '=' || edgeBlank || (c == '.' && first)) {
            line += '=';
            line += static_cast<char>(c + 64);
        } else {
            line += c;
        }
        if (line.size() >= length)
            lines.push_back(std::exchange(line, {}));
    }
    if (!line.empty())
        lines.push_back(line);
    return lines;
}

inline std::string YencHex(uint32_t crc) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", crc);
    return text;
}

inline uint32_t YencCrc(std::string_view bytes) {
    return Crc32Update(0, bytes.data(), bytes.size());
}

// A whole file in one article: =ybegin, the data lines, =yend with size= and crc32=.
inline std::vector<std::string> YencSingleBody(std::string_view name, std::string_view bytes,
                                               int lineLength = 128) {
    std::vector<std::string> body = {"=ybegin line=" + std::to_string(lineLength) + " size=" +
                                     std::to_string(bytes.size()) + " name=" + std::string(name)};
    for (std::string& line : YencEncodeLines(bytes, lineLength))
        body.push_back(std::move(line));
    body.push_back("=yend size=" + std::to_string(bytes.size()) +
                   " crc32=" + YencHex(YencCrc(bytes)));
    return body;
}

// Part `part` of `total` of the file `bytes`: its bytes `begin` to `end` (1-based, inclusive).
// The =yend line has the part's size and pcrc32=; the last part's also the file's crc32=.
inline std::vector<std::string> YencPartBody(std::string_view name, std::string_view bytes,
                                             int part, int total, uint64_t begin, uint64_t end,
                                             int lineLength = 128) {
    const std::string_view piece = bytes.substr(begin - 1, end - begin + 1);
    std::vector<std::string> body = {
        "=ybegin part=" + std::to_string(part) + " total=" + std::to_string(total) +
            " line=" + std::to_string(lineLength) + " size=" + std::to_string(bytes.size()) +
            " name=" + std::string(name),
        "=ypart begin=" + std::to_string(begin) + " end=" + std::to_string(end)};
    for (std::string& line : YencEncodeLines(piece, lineLength))
        body.push_back(std::move(line));
    std::string yend = "=yend size=" + std::to_string(piece.size()) +
                       " part=" + std::to_string(part) + " pcrc32=" + YencHex(YencCrc(piece));
    if (part == total)
        yend += " crc32=" + YencHex(YencCrc(bytes));
    body.push_back(std::move(yend));
    return body;
}

#include "engine/HeaderParsing.h"

#include <limits>

namespace {

constexpr std::string_view kContentType = "Content-Type: ";
constexpr std::string_view kRawEncodings[] = {"Content-Transfer-Encoding: 7bit",
                                              "Content-Transfer-Encoding: 8bit"};
constexpr std::string_view kDispositions[] = {"Content-Disposition: attachment; filename=",
                                              "Content-Disposition: inline; filename="};
constexpr std::string_view kFileNameKey = "filename=";

bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

std::string_view SkipSpace(std::string_view text) {
    while (!text.empty() && IsSpace(text.front()))
        text.remove_prefix(1);
    return text;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// Where the piece starting the text ends: at the first ';' outside double quotes.
size_t PieceEnd(std::string_view text) {
    bool quoted = false;
    for (size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '"')
            quoted = !quoted;
        else if (text[at] == ';' && !quoted)
            return at;
    }
    return std::string_view::npos;
}

// The next ';'-separated piece that is not empty; false when none is left.
bool NextPiece(std::string_view& rest, std::string_view& piece) {
    while (!rest.empty()) {
        const size_t end = PieceEnd(rest);
        piece = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (!piece.empty())
            return true;
    }
    return false;
}

// A quoted value runs to its closing quote (what follows is no part of it); an unquoted one
// loses its trailing blanks.
std::string_view ParameterValue(std::string_view value) {
    if (!value.starts_with('"')) {
        while (!value.empty() && IsBlank(value.back()))
            value.remove_suffix(1);
        return value;
    }
    value.remove_prefix(1);
    return value.substr(0, value.find('"'));
}

void ApplyParameter(std::string_view piece, std::string& name, std::string& boundary) {
    // One blank after the ';' belongs to the separator; a second starts the parameter's name.
    if (piece.starts_with(' '))
        piece.remove_prefix(1);
    const size_t equals = piece.find('=');
    if (equals == std::string_view::npos)
        return;
    const std::string_view key = piece.substr(0, equals);
    const std::string_view value = ParameterValue(piece.substr(equals + 1));
    if (key == "name")
        name.assign(value);
    else if (key == "boundary")
        boundary.assign("--").append(value);
}

} // namespace

void ParseContentType(std::string_view line, std::string& contentType, std::string& name,
                      std::string& boundary) {
    std::string_view rest = line.substr(std::min(line.size(), kContentType.size()));
    std::string_view piece;
    if (!NextPiece(rest, piece))
        return;
    contentType.assign(TrimBlanks(piece));
    while (NextPiece(rest, piece))
        ApplyParameter(piece, name, boundary);
}

bool IsReply(std::string_view subject) {
    return subject.size() >= 3 && (subject[0] == 'R' || subject[0] == 'r') &&
           (subject[1] == 'E' || subject[1] == 'e') && subject[2] == ':';
}

int32_t ParseDecimalPrefix(std::string_view text) {
    text = SkipSpace(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // Accumulated as a negative number so that INT32_MIN itself is reachable.
    constexpr int64_t kMin = std::numeric_limits<int32_t>::min();
    constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            break;
        value = std::max(value * 10 - (c - '0'), kMin - 1);
    }
    if (negative)
        return static_cast<int32_t>(std::max(value, kMin));
    return static_cast<int32_t>(std::min(-value, kMax));
}

std::string_view StripDotStuffing(std::string_view line) {
    if (line.starts_with(".."))
        line.remove_prefix(1);
    return line;
}

bool ParseContentDisposition(std::string_view line, std::string& fileName) {
    if (!line.starts_with(kDispositions[0]) && !line.starts_with(kDispositions[1]))
        return false;
    std::string_view value = SkipSpace(line.substr(line.find(kFileNameKey) + kFileNameKey.size()));
    if (value.starts_with('"')) {
        value.remove_prefix(1);
        fileName.assign(value.substr(0, value.find('"')));
        return true;
    }
    fileName.assign(value.substr(0, value.find(';')));
    return true;
}

bool IsRawTransferEncoding(std::string_view line) {
    return line == kRawEncodings[0] || line == kRawEncodings[1];
}

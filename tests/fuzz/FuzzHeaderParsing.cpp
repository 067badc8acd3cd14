// Header lines: Content-Type, Content-Disposition, replies, Lines values, dot-stuffing.
#include "engine/HeaderParsing.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

namespace {

// The Lines rule computed another way: strtoll on a bounded copy, clamped.
int32_t ReferenceDecimal(std::string_view text) {
    size_t start = 0;
    while (start < text.size() &&
           (text[start] == ' ' || (text[start] >= '\t' && text[start] <= '\r')))
        ++start;
    size_t end = start;
    if (end < text.size() && (text[end] == '+' || text[end] == '-'))
        ++end;
    const size_t digits = end;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9')
        ++end;
    if (end == digits)
        return 0;
    // Beyond 19 significant digits the value saturates anyway.
    const std::string copy(text.substr(start, std::min<size_t>(end - start, 30)));
    errno = 0;
    const long long value = std::strtoll(copy.c_str(), nullptr, 10);
    return static_cast<int32_t>(
        std::max<long long>(INT32_MIN, std::min<long long>(INT32_MAX, value)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    std::string type, name, boundary;
    ParseContentType(std::string("Content-Type: ").append(text), type, name, boundary);
    ParseContentType(text, type, name, boundary);
    // Nothing the parser returns is longer than its input.
    if (type.size() > size + 14 || name.size() > size + 14 || boundary.size() > size + 16)
        __builtin_trap();
    if (!boundary.empty() && !boundary.starts_with("--"))
        __builtin_trap();

    std::string fileName;
    if (ParseContentDisposition(text, fileName) && fileName.size() > size)
        __builtin_trap();
    ParseContentDisposition(std::string("Content-Disposition: inline; filename=").append(text),
                            fileName);
    IsRawTransferEncoding(text);

    if (IsReply(text) !=
        (size >= 3 && (text[0] | 0x20) == 'r' && (text[1] | 0x20) == 'e' && text[2] == ':'))
        __builtin_trap();
    // Leading zeros aside, strtoll agrees whenever the digit run is short.
    if (ParseDecimalPrefix(text) != ReferenceDecimal(text) && size < 25)
        __builtin_trap();

    const std::string_view stripped = StripDotStuffing(text);
    if (stripped.size() + (text.starts_with("..") ? 1 : 0) != size)
        __builtin_trap();
    return 0;
}

// The console text filter: whatever the bytes, the output is valid UTF-8 without a control
// character (C0, DEL, C1), valid UTF-8 input keeps every other character and has each control
// character replaced by '?', and any other input is read as Latin-1 the same way. Cutting to
// a number of columns keeps a prefix of whole characters, at most that many.
#include "platform/ConsoleText.h"
#include "tests/fuzz/FuzzSupport.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>

namespace {

using fuzz::Check;

// Strict UTF-8 decoding (no overlong forms, surrogates or values past U+10FFFF).
std::optional<std::u32string> Decode(std::string_view s) {
    std::u32string out;
    for (size_t i = 0; i < s.size();) {
        const auto lead = static_cast<unsigned char>(s[i]);
        size_t length = 0;
        char32_t minimum = 0;
        if (lead < 0x80)
            length = 1;
        else if (lead >= 0xC0 && lead < 0xE0)
            length = 2, minimum = 0x80;
        else if (lead >= 0xE0 && lead < 0xF0)
            length = 3, minimum = 0x800;
        else if (lead >= 0xF0 && lead < 0xF8)
            length = 4, minimum = 0x10000;
        if (length == 0 || i + length > s.size())
            return std::nullopt;
        char32_t code = length == 1 ? lead : lead & (0xFF >> (length + 1));
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(s[i + k]);
            if ((next & 0xC0) != 0x80)
                return std::nullopt;
            code = (code << 6) | (next & 0x3F);
        }
        if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return std::nullopt;
        out += code;
        i += length;
    }
    return out;
}

bool IsControl(char32_t code) {
    return code < 0x20 || (code >= 0x7F && code < 0xA0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string shown = ConsoleText(bytes);
    const auto out = Decode(shown);
    Check(out.has_value(), "the output is not valid UTF-8");
    for (const char32_t code : *out)
        Check(!IsControl(code), "the output holds a control character");

    // What each input character should have become: itself, or '?' for a control character.
    std::u32string in;
    if (const auto decoded = Decode(bytes))
        in = *decoded;
    else
        for (const char c : bytes)
            in += static_cast<char32_t>(static_cast<unsigned char>(c));
    for (char32_t& code : in)
        if (IsControl(code))
            code = U'?';
    Check(*out == in, "a character was not kept or not replaced as it should be");

    const size_t columns = size == 0 ? 0 : data[0] % 64;
    const std::string cut = FitColumns(shown, columns);
    const auto kept = Decode(cut);
    Check(shown.starts_with(cut) && kept.has_value(), "the cut is no prefix of whole characters");
    Check(kept->size() == std::min(columns, out->size()), "the cut keeps the wrong length");
    return 0;
}

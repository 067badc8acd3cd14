// The settings file's text: whatever a parse builds (all of it, or what came before a syntax
// error) is written out, and that text parses without error into an equal hive that writes
// the same text again. Applying the text twice changes nothing, and when it is valid UTF-8 its
// UTF-16LE form with a byte-order mark loads the same.
#include "platform/CHive.h"
#include "platform/CRegText.h"
#include "tests/fuzz/FuzzSupport.h"

#include <cstdint>
#include <string>

namespace {

using fuzz::Check;

void CheckEqual(const CHive& a, const CHive& b, const std::string& key) {
    for (size_t i = 0;; ++i) {
        const CHive::Value* x = a.EnumValue(key, i);
        const CHive::Value* y = b.EnumValue(key, i);
        Check((x == nullptr) == (y == nullptr), "the hives hold different numbers of values");
        if (x == nullptr)
            break;
        Check(x->name == y->name && x->type == y->type && x->data == y->data,
              "a value changed on its way through the text");
    }
    for (size_t i = 0;; ++i) {
        const auto x = a.EnumKey(key, i);
        const auto y = b.EnumKey(key, i);
        Check(x.has_value() == y.has_value(), "the hives hold different numbers of keys");
        if (!x)
            break;
        Check(*x == *y, "a key name changed on its way through the text");
        CheckEqual(a, b, key.empty() ? *x : key + '\\' + *x);
    }
}

// Strict UTF-8 (no overlong forms, surrogates or values past U+10FFFF), decoded to code points.
bool DecodeUtf8(std::string_view s, std::u32string& out) {
    for (size_t i = 0; i < s.size();) {
        const auto lead = static_cast<unsigned char>(s[i]);
        const size_t length = lead < 0x80   ? 1
                              : lead < 0xC2 ? 0
                              : lead < 0xE0 ? 2
                              : lead < 0xF0 ? 3
                              : lead < 0xF5 ? 4
                                            : 0;
        if (length == 0 || i + length > s.size())
            return false;
        char32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(s[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (next & 0x3F);
        }
        static constexpr char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < kMinimum[length] || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000))
            return false;
        out += code;
        i += length;
    }
    return true;
}

std::string Utf16Le(const std::u32string& text) {
    std::string out = "\xFF\xFE";
    const auto unit = [&out](char32_t u) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    };
    for (const char32_t code : text) {
        if (code < 0x10000) {
            unit(code);
            continue;
        }
        unit(0xD800 + ((code - 0x10000) >> 10));
        unit(0xDC00 + ((code - 0x10000) & 0x3FF));
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string error;
    CHive first;
    CRegText::Parse(text, first, error);
    const std::string written = CRegText::Serialize(first);

    CHive second;
    Check(CRegText::Parse(written, second, error), "the written text does not parse");
    CheckEqual(first, second, "");
    Check(CRegText::Serialize(second) == written, "the text is not stable after one round");

    CRegText::Parse(written, second, error);
    Check(CRegText::Serialize(second) == written, "applying the text twice changed the hive");

    std::u32string codes;
    if (DecodeUtf8(written, codes)) {
        CHive wide;
        Check(CRegText::Parse(Utf16Le(codes), wide, error), "the UTF-16 text does not parse");
        CheckEqual(first, wide, "");
    }
    return 0;
}

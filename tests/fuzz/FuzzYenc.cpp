// yEnc body lines: every line (split at '\n') through each of the processor's line decoders,
// checked against the scalar one, and through the keyword line parsers; the whole input
// through the test encoder and back, and through both CRC-32 implementations.
#include "engine/Crc32.h"
#include "engine/YencDecoder.h"
#include "engine/YencKeywordLines.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/support/YencEncoder.h"

#include <memory>
#include <string>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

void CheckDecoders(std::string_view line) {
    const auto expected = std::make_unique<char[]>(line.size() + 1);
    const size_t size = YdecodeDataLineScalar(line, expected.get());
    if (size > line.size())
        __builtin_trap();
    for (const YdecodePath& path : YdecodePaths()) {
        // Exactly the room the decoders are promised, so that ASan sees a write beyond it.
        const auto out = std::make_unique<char[]>(line.size() + kYdecodeOutSlack);
        if (path.decode(line, out.get()) != size ||
            std::memcmp(out.get(), expected.get(), size) != 0)
            __builtin_trap();
    }
}

void CheckKeywordLines(std::string_view line) {
    if (const auto begin = ParseYbeginLine(line)) {
        const std::string_view name = begin->name;
        if (!line.starts_with("=ybegin") || name.empty() || IsBlank(name.front()) ||
            IsBlank(name.back()) || line.find(name) == std::string_view::npos)
            __builtin_trap();
        // The same file written as an encoder would comes back the same.
        const auto again =
            ParseYbeginLine("=ybegin size=" + std::to_string(begin->size) + " name=" + begin->name);
        if (!again || again->size != begin->size || again->name != begin->name)
            __builtin_trap();
    }
    if (const auto part = ParseYpartLine(line)) {
        if (!line.starts_with("=ypart") || part->begin < 1 || part->end + 1 < part->begin)
            __builtin_trap();
    }
    if (const auto end = ParseYendLine(line)) {
        if (!line.starts_with("=yend"))
            __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    fuzz::ForEachExactLine(text, [&](std::string_view line) {
        CheckDecoders(line);
        CheckKeywordLines(line);
    });

    const int lineLength = size > 0 ? 1 + data[0] % 200 : 128;
    ByteBuffer decoded;
    for (const std::string& line : YencEncodeLines(text, lineLength))
        YdecodeDataLine(line, decoded);
    if (decoded.View() != text)
        __builtin_trap();
    if (Crc32Update(0, data, size) != Crc32UpdatePortable(0, data, size))
        __builtin_trap();
    return 0;
}

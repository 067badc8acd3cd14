// Body lines for the uudecoder: every line (split at '\n') as a data line, checked against the
// one-character-at-a-time reference, and as a begin line.
#include "engine/Uudecoder.h"
#include "tests/engine/UudecoderReference.h"
#include "tests/fuzz/FuzzSupport.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    ByteBuffer out;
    std::string expected;
    fuzz::ForEachExactLine(text, [&](std::string_view line) {
        const size_t before = out.Size();
        const UuLineResult result = UudecodeDataLine(line, out);
        // Both outputs hold the same before the line, so only what it added is compared.
        if (ReferenceUudecodeDataLine(line, expected) != result || out.Size() != expected.size() ||
            out.View().substr(before) != std::string_view(expected).substr(before))
            __builtin_trap();
        if (CouldBeUuencodedData(line) != (result == UuLineResult::Data))
            __builtin_trap();
        if (result != UuLineResult::Data && out.Size() != before)
            __builtin_trap();
        if (result == UuLineResult::Data &&
            out.Size() - before != static_cast<size_t>((line[0] - ' ') & 0x3F))
            __builtin_trap();
        if (line.empty() != (result == UuLineResult::Ignored))
            __builtin_trap();

        const std::string name = ParseBeginLine(line);
        if (!name.empty() && (!line.starts_with("begin ") || !line.ends_with(name)))
            __builtin_trap();
        if (out.Size() > (1u << 20)) {
            out.Clear();
            expected.clear();
        }
    });
    return 0;
}

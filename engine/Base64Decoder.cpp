#include "engine/Base64Decoder.h"

#include <array>

namespace {

constexpr std::array<int32_t, 256> BuildTable() {
    std::array<int32_t, 256> table{};
    table.fill(-1);
    constexpr std::string_view kAlphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (size_t i = 0; i < kAlphabet.size(); ++i)
        table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<int32_t>(i);
    return table;
}

constexpr std::array<int32_t, 256> kTable = BuildTable();

inline int32_t Value(char c) {
    return kTable[static_cast<unsigned char>(c)];
}

} // namespace

const int32_t* Base64Decoder::Table() {
    return kTable.data();
}

void Base64Decoder::Reset() {
    m_carry = 0;
    m_carried = 0;
}

void Base64Decoder::DecodeLine(std::string_view line, std::string& out) {
    const size_t start = out.size();
    out.resize(start + (static_cast<size_t>(m_carried) + line.size()) / 4 * 3 + 3);
    char* dest = out.data() + start;
    size_t pos = 0;

    // Fast path: whole groups of four valid characters, nothing carried in.
    if (m_carried == 0) {
        while (pos + 4 <= line.size()) {
            const int32_t a = Value(line[pos]);
            const int32_t b = Value(line[pos + 1]);
            const int32_t c = Value(line[pos + 2]);
            const int32_t d = Value(line[pos + 3]);
            if ((a | b | c | d) < 0)
                break;
            const uint32_t bits = (static_cast<uint32_t>(a) << 18) |
                                  (static_cast<uint32_t>(b) << 12) |
                                  (static_cast<uint32_t>(c) << 6) | static_cast<uint32_t>(d);
            dest[0] = static_cast<char>(bits >> 16);
            dest[1] = static_cast<char>(bits >> 8);
            dest[2] = static_cast<char>(bits);
            dest += 3;
            pos += 4;
        }
    }

    // One character at a time: carried groups, padding, invalid characters, the line's end.
    for (; pos < line.size(); ++pos) {
        const int32_t value = Value(line[pos]);
        if (value < 0) {
            // "=" in the third place gives one byte, in the fourth two; any other invalid
            // character, or "=" elsewhere, gives nothing. Either way the line ends here.
            if (line[pos] == '=' && m_carried == 2) {
                *dest++ = static_cast<char>(m_carry >> 4);
            } else if (line[pos] == '=' && m_carried == 3) {
                *dest++ = static_cast<char>(m_carry >> 10);
                *dest++ = static_cast<char>(m_carry >> 2);
            }
            Reset();
            break;
        }
        m_carry = (m_carry << 6) | static_cast<uint32_t>(value);
        if (++m_carried < 4)
            continue;
        dest[0] = static_cast<char>(m_carry >> 16);
        dest[1] = static_cast<char>(m_carry >> 8);
        dest[2] = static_cast<char>(m_carry);
        dest += 3;
        Reset();
    }
    out.resize(static_cast<size_t>(dest - out.data()));
}

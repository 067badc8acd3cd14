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

inline char* Emit(uint32_t bits, char* dest) {
    dest[0] = static_cast<char>(bits >> 16);
    dest[1] = static_cast<char>(bits >> 8);
    dest[2] = static_cast<char>(bits);
    return dest + 3;
}

// The fast path: whole groups of four valid characters, as long as they last.
char* DecodeWholeGroups(std::string_view line, size_t& pos, char* dest) {
    for (; pos + 4 <= line.size(); pos += 4) {
        const int32_t a = Value(line[pos]);
        const int32_t b = Value(line[pos + 1]);
        const int32_t c = Value(line[pos + 2]);
        const int32_t d = Value(line[pos + 3]);
        if ((a | b | c | d) < 0)
            break;
        dest = Emit((static_cast<uint32_t>(a) << 18) | (static_cast<uint32_t>(b) << 12) |
                        (static_cast<uint32_t>(c) << 6) | static_cast<uint32_t>(d),
                    dest);
    }
    return dest;
}

} // namespace

const int32_t* Base64Decoder::Table() {
    return kTable.data();
}

// An invalid character ends the line's decoding: "=" in the third place of a group gives one
// byte, in the fourth two; anything else gives nothing. Nothing is carried past it.
char* Base64Decoder::Finish(char invalid, char* dest) {
    if (invalid == '=' && m_carried == 2) {
        *dest++ = static_cast<char>(m_carry >> 4);
    } else if (invalid == '=' && m_carried == 3) {
        *dest++ = static_cast<char>(m_carry >> 10);
        *dest++ = static_cast<char>(m_carry >> 2);
    }
    Reset();
    return dest;
}

void Base64Decoder::Reset() {
    m_carry = 0;
    m_carried = 0;
}

void Base64Decoder::DecodeLine(std::string_view line, ByteBuffer& out) {
    const size_t start = out.Size();
    char* const begin = out.Extend((static_cast<size_t>(m_carried) + line.size()) / 4 * 3 + 3);
    char* dest = begin;
    size_t pos = 0;
    while (pos < line.size()) {
        if (m_carried == 0) {
            dest = DecodeWholeGroups(line, pos, dest);
            if (pos == line.size())
                break;
        }
        // One character at a time: carried groups, padding, invalid characters, the line's end.
        const int32_t value = Value(line[pos++]);
        if (value < 0) {
            dest = Finish(line[pos - 1], dest);
            break;
        }
        m_carry = (m_carry << 6) | static_cast<uint32_t>(value);
        if (++m_carried < 4)
            continue;
        dest = Emit(m_carry, dest);
        Reset();
    }
    out.Truncate(start + static_cast<size_t>(dest - begin));
}

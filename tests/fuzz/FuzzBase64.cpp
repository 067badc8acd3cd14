// Base64 lines against a literal rendering of the decoding rule: the carried characters
// prepended to each line, groups of four from the start, "=" in the third or fourth place.
#include "engine/Base64Decoder.h"

#include <string>

namespace {

class Reference {
  public:
    void Line(std::string_view line, std::string& out) {
        std::string buffer = m_carry + std::string(line);
        m_carry.clear();
        const int32_t* t = Base64Decoder::Table();
        auto v = [&](size_t i) { return t[static_cast<unsigned char>(buffer[i])]; };
        for (size_t i = 0; i < buffer.size() && v(i) >= 0; i += 4) {
            size_t valid = 1;
            while (valid < 4 && i + valid < buffer.size() && v(i + valid) >= 0)
                ++valid;
            if (valid == 4) {
                out += static_cast<char>((v(i) << 2) | (v(i + 1) >> 4));
                out += static_cast<char>((v(i + 1) << 4) | (v(i + 2) >> 2));
                out += static_cast<char>((v(i + 2) << 6) | v(i + 3));
                continue;
            }
            if (i + valid == buffer.size()) {
                m_carry = buffer.substr(i); // cut by the end of the line
            } else if (buffer[i + valid] == '=' && valid == 2) {
                out += static_cast<char>((v(i) << 2) | (v(i + 1) >> 4));
            } else if (buffer[i + valid] == '=' && valid == 3) {
                out += static_cast<char>((v(i) << 2) | (v(i + 1) >> 4));
                out += static_cast<char>((v(i + 1) << 4) | (v(i + 2) >> 2));
            }
            return;
        }
    }

  private:
    std::string m_carry;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Base64Decoder decoder;
    Reference reference;
    ByteBuffer out;
    std::string expected;
    size_t pos = 0;
    while (pos <= text.size()) {
        const size_t end = std::min(text.find('\n', pos), text.size());
        const std::string line(text.substr(pos, end - pos));
        pos = end + 1;
        decoder.DecodeLine(line, out);
        reference.Line(line, expected);
        if (out.View() != expected)
            __builtin_trap();
    }
    return 0;
}

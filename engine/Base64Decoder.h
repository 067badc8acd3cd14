#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/ByteBuffer.h"

// Streaming base64 decoder for the lines of one MIME part. Groups of four may be split over
// lines: up to three characters are carried to the next line.
class Base64Decoder {
  public:
    // Clears the carried characters (start of a new part).
    void Reset();

    // Decodes one line and appends the bytes to out. Characters outside the alphabet are
    // skipped; "=" ends the group it is in.
    void DecodeLine(std::string_view line, ByteBuffer& out);

    // 256 entries: the 6-bit value of an alphabet character, -1 for any other byte.
    static const int32_t* Table();

  private:
    char* Finish(char invalid, char* dest);

    uint32_t m_carry = 0;
    int32_t m_carried = 0;
};

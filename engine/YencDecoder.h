#pragma once

#include <cstddef>
#include <span>
#include <string_view>

#include "engine/ByteBuffer.h"

// Decodes one yEnc data line (line end removed, transport dot-stuffing undone) and appends its
// bytes to out; returns how many it appended. Every character stands for its code minus 42; an
// "=" makes the next character, whatever it is, stand for its code minus 106; an "=" that ends
// the line stands for nothing.
size_t YdecodeDataLine(std::string_view line, ByteBuffer& out);

// The same, one character at a time; out has room for line.size() bytes.
size_t YdecodeDataLineScalar(std::string_view line, char* out);

// Room beyond line.size() that the block decoders may write into.
constexpr size_t kYdecodeOutSlack = 64;

// One way of decoding a line, writing into out (line.size() + kYdecodeOutSlack bytes).
struct YdecodePath {
    const char* name;
    size_t (*decode)(std::string_view line, char* out);
};

// The decoders this processor runs, fastest first; YdecodeDataLine uses the first.
std::span<const YdecodePath> YdecodePaths();

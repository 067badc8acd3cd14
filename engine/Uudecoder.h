#pragma once

#include <string>
#include <string_view>

#include "engine/ByteBuffer.h"

enum class UuLineResult { Ignored, Data, EndOfData, Error };

// Decodes one uuencoded data line and appends its bytes to out. An empty line is Ignored; a
// line starting with a blank or a backquote ends the data; a length character outside blank to
// backquote, or a line too short for its length, is an Error. The "." line is the caller's.
UuLineResult UudecodeDataLine(std::string_view line, ByteBuffer& out);

// True for a line that UudecodeDataLine would accept as Data.
bool CouldBeUuencodedData(std::string_view line);

// The file name of a "begin <mode> <name>" line: everything after the blank that ends the
// mode; empty when there is none.
std::string ParseBeginLine(std::string_view line);

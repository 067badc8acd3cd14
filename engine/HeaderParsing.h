#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Parses a whole "Content-Type: " header line: the first ";"-separated piece is the content
// type (blanks around it dropped), the "name" parameter gives name and the "boundary"
// parameter gives boundary ("--" and the value). A ";" inside double quotes separates nothing;
// a quoted value ends at its closing quote. Only what the line carries is assigned; values of
// any length.
void ParseContentType(std::string_view line, std::string& contentType, std::string& name,
                      std::string& boundary);

// True when the subject starts with "Re:" (R and E in either case, the colon right after).
bool IsReply(std::string_view subject);

// Like atoi: leading white space, an optional sign, then digits. Saturates at the int32_t
// limits instead of overflowing; 0 when there are no digits.
int32_t ParseDecimalPrefix(std::string_view text);

// A line starting with ".." loses its first "."; every other line (including ".") is unchanged.
std::string_view StripDotStuffing(std::string_view line);

// For a line starting "Content-Disposition: attachment; filename=" or "Content-Disposition:
// inline; filename=": true, and fileName set to the name after the first "filename=" (white
// space skipped; a quoted name runs to the next quote, else the name runs to ";" or the end).
// False, fileName untouched, for any other line.
bool ParseContentDisposition(std::string_view line, std::string& fileName);

// True for exactly "Content-Transfer-Encoding: 7bit" or "Content-Transfer-Encoding: 8bit".
bool IsRawTransferEncoding(std::string_view line);

#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Parses a whole "Content-Type: " header line into its type (lower-cased, parameters cut),
// its name parameter and its boundary parameter. Fields not present are left unchanged.
void ParseContentType(std::string_view line, std::string& contentType, std::string& name,
                      std::string& boundary);

// True when the subject marks a reply ("Re:" in any case, after leading white space).
bool IsReply(std::string_view subject);

// Like atoi: leading white space, an optional sign, then digits. Saturates at the int32_t
// limits instead of overflowing; 0 when there are no digits.
int32_t ParseDecimalPrefix(std::string_view text);

// A line starting with ".." loses its first "."; every other line (including ".") is unchanged.
std::string_view StripDotStuffing(std::string_view line);

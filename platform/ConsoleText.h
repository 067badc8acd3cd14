#pragma once

#include <string>
#include <string_view>

// Text from articles and servers made safe for a terminal: bytes that are valid UTF-8 are
// kept, anything else is read as Latin-1, and control characters (C0, DEL, C1) become '?', so
// that a subject cannot move the cursor or send escape sequences.
std::string ConsoleText(std::string_view bytes);

// The text cut to at most `columns` characters (one column per character).
std::string FitColumns(std::string_view utf8, std::size_t columns);

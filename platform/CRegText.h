#pragma once

#include <string>
#include <string_view>

class CHive;

// The .reg export text format of a hive:
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\Software\Hollowfen\Gleanwick\Servers\news.example.com]
//   "Port"=dword:00000077
//   "Login User"="name"
//   "Icon"=hex:01,02
//
// Quoted names and strings escape '\' and '"' with a backslash; line breaks and NUL, which a
// line cannot hold, are written as \n, \r and \0. Reading also accepts CR LF line ends, a
// UTF-8 or UTF-16LE byte-order mark, "REGEDIT4", ';' comments, "@" for the default value,
// hex(N) values with lines continued by a trailing backslash, and deletions ("[-key]",
// "name"=-). Keys of other root keys are skipped.
class CRegText {
  public:
    static std::string Serialize(const CHive& hive);
    // Adds the text's keys and values to the hive. False on a syntax error, with the line
    // number and reason in error.
    static bool Parse(std::string_view text, CHive& hive, std::string& error);
};

#pragma once

#include <string>
#include <string_view>

// The program's numbered strings (res/strings.txt, compiled in).
class CStringTable {
  public:
    // The string with that number; empty when there is none.
    static const std::string& Load(unsigned id);
    // The string with every "%1" replaced by arg.
    static std::string Format(unsigned id, std::string_view arg);
};

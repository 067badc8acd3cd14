#pragma once

#include <string>
#include <vector>

#include "support/TempHome.h"

// A hive file with the given news servers and rows of the "Settings" key (.reg syntax).
inline std::string HiveText(const std::vector<std::string>& servers,
                            const std::string& settings = {}) {
    std::string text = "Windows Registry Editor Version 5.00\n\n";
    for (const std::string& server : servers)
        text += "[HKEY_CURRENT_USER\\Software\\Hollowfen\\Gleanwick\\Servers\\" + server +
                "]\n\"Port\"=dword:00000077\n\n";
    text += "[HKEY_CURRENT_USER\\Software\\Hollowfen\\Gleanwick\\Settings]\n" + settings + "\n";
    return text;
}

#pragma once

#include <string>

// The program's own folder, ending in '/': $GLEANWICK_HOME when set, else
// $XDG_DATA_HOME/Gleanwick/ (default ~/.local/share/Gleanwick/). Created on first use.
std::string ProgramFolder();

// Path of the hive file: $GLEANWICK_HOME/HKCU.reg, else $XDG_CONFIG_HOME/Hollowfen/HKCU.reg.
std::string HiveFilePath();

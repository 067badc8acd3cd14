#pragma once

#include <string_view>

// The profile section that holds the panes' layout values beside the program's options.
inline constexpr std::string_view kSettingsSection = "Settings";

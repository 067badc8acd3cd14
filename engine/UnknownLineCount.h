#pragma once

#include <cstdint>

// The line count of an article that has no Lines header: all 32 bits set.
inline constexpr uint32_t kUnknownLineCount = 0xffffffffu;

#pragma once

#include <string>
#include <vector>

#include "options/MimeActionEntry.h"

class CHive;

// The MIME type action table stored under "Software\Hollowfen\Gleanwick\Mime": one
// value per row, the value name the type, its number the action.
class CMimeTable {
  public:
    static const std::string kKey;

    // The rows in the order the values were created; empty when the key is missing.
    // Reading stops at the first value that does not fit a row (a name of 1000 or more
    // characters, or more than 4 bytes of data).
    static std::vector<MimeActionEntry> LoadMimeTable(const CHive& hive);
};

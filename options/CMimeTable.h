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

    // Stores `table` as the rows LoadMimeTable reads, in its order, creating the key when it is
    // missing. A row that LoadMimeTable would give back unchanged keeps its stored value as it
    // was (type and bytes), and the values past the first that does not fit a row stay after
    // the rows unless a row now has their name; so the table as it was loaded is stored back
    // exactly, and a hive that would not change is not touched.
    static void SaveMimeTable(CHive& hive, const std::vector<MimeActionEntry>& table);
};

#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One newsgroup of a server's table.
struct GroupRecord {
    uint32_t last = 0;  // stored next-article number; 0 for a group never read
    bool isNew = false; // added by a list fetch and unknown before it (never stored)
    bool subscribed = false;
    std::string name;              // as sent by the server (bytes); fixed while in a table
    std::vector<uint32_t> pending; // article numbers to re-read first in the next run
};

#pragma once

#include <cstdint>
#include <string>

// One row of the MIME type action table: a full or major type, 1 extract / 0 ignore.
struct MimeActionEntry {
    uint32_t action = 0;
    std::string type;
};

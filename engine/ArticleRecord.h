#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// What the run keeps of one article's headers while it decides what to do with it.
struct ArticleRecord {
    int32_t lines = -1;
    uint32_t articleNumber = 0;
    std::string messageId, from, subject, boundary, contentType, name;

    // Empties every field and sets the article number (lines back to -1: not given).
    void Reset(uint32_t number);
};

// The record as kept among the pending parts, whose number a server can drive up: every field
// cut to a length far above real headers.
ArticleRecord CompactedForPending(const ArticleRecord& record);

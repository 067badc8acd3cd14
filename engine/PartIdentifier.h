#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The "(part/total)" identifier of a multipart post's subject and the subject text before it.
struct PartIdentifier {
    int32_t part = 0;
    int32_t total = 0;
    std::string prefix;
};

// True when the subject carries a part identifier; fills id. Digit runs too long for an
// int32_t are not an identifier.
bool ParsePartIdentifier(std::string_view subject, PartIdentifier& id);

#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The "(part/total)" identifier of a multipart post's subject and the subject text around it.
struct PartIdentifier {
    int32_t part = 0;
    int32_t total = 0;
    // The subject text in front of the identifier.
    std::string prefix;
    // What names the file in every one of its parts' subjects: the prefix and the text after
    // the identifier, or for a yEnc subject the prefix alone (its tail may count bytes).
    std::string setName;
};

// True when the subject carries a part identifier (the first number pair joined by "/", "|",
// "\" or "of", part not above total); fills id. Digit runs too long for an int32_t are not an
// identifier.
bool ParsePartIdentifier(std::string_view subject, PartIdentifier& id);

// The identifier as posts are named today: for a subject holding the word "yEnc" (any letter
// case), the last "(n/m)" or "[n/m]", so that a collection's "[k/K]" file counter in front of
// it is part of the set's name; every other subject, and a yEnc one without such a pair, as
// ParsePartIdentifier.
bool ParseSubjectPart(std::string_view subject, PartIdentifier& id);

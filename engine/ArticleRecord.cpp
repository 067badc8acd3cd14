#include "engine/ArticleRecord.h"

#include <cstdio>

namespace {

constexpr std::size_t kMaxField = 256;
constexpr std::size_t kMaxPrefix = 512;
constexpr std::size_t kMaxAfterPrefix = 128;
// Neither a digit nor white space: around the digest, neither the cut prefix nor the part
// identifier after it forms a number with the digest's digits.
constexpr char kDigestMark = '\x1f';

void Cut(std::string& field) {
    if (field.size() > kMaxField)
        field.resize(kMaxField);
}

// 64-bit FNV-1a, as sixteen hexadecimal digits.
std::string Digest(std::string_view text) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    char digits[17];
    std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(hash));
    return digits;
}

} // namespace

void ArticleRecord::Reset(uint32_t number) {
    *this = ArticleRecord{};
    articleNumber = number;
}

ArticleRecord CompactedForPending(const ArticleRecord& record, std::string_view prefix) {
    ArticleRecord compact = record;
    for (std::string* field : {&compact.messageId, &compact.from, &compact.boundary,
                               &compact.contentType, &compact.name})
        Cut(*field);
    const std::string_view subject = record.subject;
    if (prefix.size() > kMaxPrefix || subject.size() - prefix.size() > kMaxAfterPrefix) {
        std::string shortened(prefix.substr(0, std::min(prefix.size(), kMaxPrefix)));
        if (prefix.size() > kMaxPrefix)
            shortened += kDigestMark + Digest(prefix) + kDigestMark;
        shortened += subject.substr(prefix.size(), kMaxAfterPrefix);
        compact.subject = std::move(shortened);
    }
    return compact;
}

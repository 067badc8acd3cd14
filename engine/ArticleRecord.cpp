#include "engine/ArticleRecord.h"

namespace {

constexpr std::size_t kMaxField = 256;
// The subject is shown when the set's file is decoded: room for any real one.
constexpr std::size_t kMaxSubject = 1024;

// A fresh string, so that the cut one does not keep the long one's memory.
void Cut(std::string& field, std::size_t size) {
    if (field.size() > size)
        field = std::string(field, 0, size);
}

} // namespace

void ArticleRecord::Reset(uint32_t number) {
    *this = ArticleRecord{};
    articleNumber = number;
}

ArticleRecord CompactedForPending(const ArticleRecord& record) {
    ArticleRecord compact = record;
    for (std::string* field : {&compact.messageId, &compact.from, &compact.boundary,
                               &compact.contentType, &compact.name})
        Cut(*field, kMaxField);
    Cut(compact.subject, kMaxSubject);
    return compact;
}

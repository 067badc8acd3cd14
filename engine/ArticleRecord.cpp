#include "engine/ArticleRecord.h"

namespace {

constexpr std::size_t kMaxField = 256;
// The subject is shown when the set's file is decoded: room for any real one.
constexpr std::size_t kMaxSubject = 1024;

void Cut(std::string& field, std::size_t size) {
    if (field.size() > size)
        field.resize(size);
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

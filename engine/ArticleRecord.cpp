#include "engine/ArticleRecord.h"

void ArticleRecord::Reset(uint32_t number) {
    *this = ArticleRecord{};
    articleNumber = number;
}

#include "engine/PendingPartList.h"

#include <algorithm>

PendingPartList::iterator PendingPartList::Insert(const ArticleRecord& record) {
    // Parts of one post tend to arrive in order, so the place is usually at or near the end:
    // search backwards for the last record whose subject is not greater.
    auto pos = m_records.end();
    while (pos != m_records.begin()) {
        auto previous = std::prev(pos);
        if (previous->subject <= record.subject)
            break;
        pos = previous;
    }
    return m_records.insert(pos, record);
}

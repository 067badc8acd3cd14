#include "engine/PendingPartList.h"

PendingPartList::iterator PendingPartList::Insert(const ArticleRecord& record) {
    const auto same = m_subjects.find(record.subject);
    if (same != m_subjects.end()) {
        same->second.last = m_records.insert(std::next(same->second.last), record);
        return same->second.last;
    }
    const auto greater = m_subjects.upper_bound(record.subject);
    const iterator before = greater == m_subjects.end() ? m_records.end() : greater->second.first;
    const iterator inserted = m_records.insert(before, record);
    m_subjects.emplace_hint(greater, record.subject, Run{inserted, inserted});
    return inserted;
}

PendingPartList::iterator PendingPartList::Erase(iterator first, iterator last) {
    // The range is contiguous in a sorted list: only the first and the last subject in it can
    // keep records outside it, just before first or from last on.
    const iterator before = first == m_records.begin() ? m_records.end() : std::prev(first);
    for (iterator record = first; record != last; ++record) {
        if (record != first && std::prev(record)->subject == record->subject)
            continue;
        const auto entry = m_subjects.find(record->subject);
        if (entry == m_subjects.end())
            continue;
        const bool keepsBefore = before != m_records.end() && before->subject == record->subject;
        const bool keepsAfter = last != m_records.end() && last->subject == record->subject;
        if (!keepsBefore && !keepsAfter)
            m_subjects.erase(entry);
        else if (!keepsAfter)
            entry->second.last = before;
        else if (!keepsBefore)
            entry->second.first = last;
    }
    return m_records.erase(first, last);
}

void PendingPartList::Clear() {
    m_records.clear();
    m_subjects.clear();
}

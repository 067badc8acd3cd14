#include "engine/PendingPartList.h"

#include "engine/PartIdentifier.h"

#include <cstdio>

namespace {

constexpr std::size_t kMaxSetName = 512;
// Neither a digit nor white space: the digest's digits never run together with the name's,
// and the total after the name is told apart from it.
constexpr char kKeyMark = '\x1f';

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

std::string CompactedSetName(std::string_view name) {
    if (name.size() <= kMaxSetName)
        return std::string(name);
    return std::string(name.substr(0, kMaxSetName)) + kKeyMark + Digest(name);
}

} // namespace

PendingPart MakePendingPart(const ArticleRecord& record, const PartIdentifier& id) {
    return {CompactedForPending(record),
            CompactedSetName(id.setName) + kKeyMark + std::to_string(id.total), id.part, id.total};
}

PendingPartList::iterator PendingPartList::Insert(PendingPart part) {
    const auto same = m_keys.find(part.setKey);
    if (same != m_keys.end()) {
        // Within its set, after the parts of lower or equal number: searched from the end,
        // where parts arriving in order go.
        Run& run = same->second;
        iterator after = run.last;
        while (after->part > part.part && after != run.first)
            --after;
        if (after->part > part.part) {
            run.first = m_parts.insert(after, std::move(part));
            return run.first;
        }
        const iterator inserted = m_parts.insert(std::next(after), std::move(part));
        if (after == run.last)
            run.last = inserted;
        return inserted;
    }
    const auto greater = m_keys.upper_bound(part.setKey);
    const iterator before = greater == m_keys.end() ? m_parts.end() : greater->second.first;
    const iterator inserted = m_parts.insert(before, std::move(part));
    m_keys.emplace_hint(greater, inserted->setKey, Run{inserted, inserted});
    return inserted;
}

PendingPartList::iterator PendingPartList::Erase(iterator first, iterator last) {
    // The range is contiguous in a sorted list: only the first and the last key in it can
    // keep parts outside it, just before first or from last on.
    const iterator before = first == m_parts.begin() ? m_parts.end() : std::prev(first);
    for (iterator part = first; part != last; ++part) {
        if (part != first && std::prev(part)->setKey == part->setKey)
            continue;
        const auto entry = m_keys.find(part->setKey);
        if (entry == m_keys.end())
            continue;
        const bool keepsBefore = before != m_parts.end() && before->setKey == part->setKey;
        const bool keepsAfter = last != m_parts.end() && last->setKey == part->setKey;
        if (!keepsBefore && !keepsAfter)
            m_keys.erase(entry);
        else if (!keepsAfter)
            entry->second.last = before;
        else if (!keepsBefore)
            entry->second.first = last;
    }
    return m_parts.erase(first, last);
}

void PendingPartList::Clear() {
    m_parts.clear();
    m_keys.clear();
}

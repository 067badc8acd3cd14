#pragma once

#include "engine/ArticleRecord.h"

#include <cstddef>
#include <list>

// The parts of multipart posts waiting for their set to complete, kept sorted by subject
// (byte-wise, ascending). A record with an equal subject goes after the ones already there,
// so parts keep their arrival order within one subject.
class PendingPartList {
  public:
    using iterator = std::list<ArticleRecord>::iterator;

    iterator begin() { return m_records.begin(); }
    iterator end() { return m_records.end(); }

    iterator Insert(const ArticleRecord& record);
    iterator Erase(iterator first, iterator last) { return m_records.erase(first, last); }
    void Clear() { m_records.clear(); }
    size_t Size() const { return m_records.size(); }
    bool Empty() const { return m_records.empty(); }

  private:
    std::list<ArticleRecord> m_records;
};

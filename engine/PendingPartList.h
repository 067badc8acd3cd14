#pragma once

#include "engine/ArticleRecord.h"

#include <cstddef>
#include <list>
#include <map>
#include <string>

// The parts of multipart posts waiting for their set to complete, kept sorted by subject
// (byte-wise, ascending). A record with an equal subject goes after the ones already there,
// so parts keep their arrival order within one subject. An index of the subjects keeps an
// insertion logarithmic however many parts a group holds; a record's subject must therefore
// not change while it is in the list.
class PendingPartList {
  public:
    using iterator = std::list<ArticleRecord>::iterator;

    iterator begin() { return m_records.begin(); }
    iterator end() { return m_records.end(); }

    iterator Insert(const ArticleRecord& record);
    iterator Erase(iterator first, iterator last);
    void Clear();
    size_t Size() const { return m_records.size(); }
    bool Empty() const { return m_records.empty(); }

  private:
    // The first and the last record of one subject; the records between them share it.
    struct Run {
        iterator first, last;
    };

    std::list<ArticleRecord> m_records;
    std::map<std::string, Run, std::less<>> m_subjects;
};

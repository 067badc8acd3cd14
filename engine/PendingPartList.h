#pragma once

#include "engine/ArticleRecord.h"

#include <cstddef>
#include <cstdint>
#include <list>
#include <map>
#include <string>

struct PartIdentifier;

// One part of a multipart post waiting for its set: the record kept of its headers, the part
// identifier read from its subject, and the key that all parts of its set share.
struct PendingPart {
    ArticleRecord record;
    std::string setKey;
    int32_t part = 0;
    int32_t total = 0;
};

// The record as kept among the pending parts, whose number a server can drive up: every field
// cut to a length far above real headers. The set key is the identifier's set name (cut and
// followed by a digest of all of it when long, so that parts group into the same sets as
// before) and the set's total, so that sets of one name but different sizes never mix.
PendingPart MakePendingPart(const ArticleRecord& record, const PartIdentifier& id);

// The parts of multipart posts waiting for their set to complete, kept sorted by set key
// (byte-wise, ascending), so that the parts of one set are neighbours, and within a set by part
// number; a part posted twice keeps its arrival order. An index
// of the keys keeps an insertion logarithmic however many parts a group holds; a part's key
// must therefore not change while it is in the list.
class PendingPartList {
  public:
    using iterator = std::list<PendingPart>::iterator;

    iterator begin() { return m_parts.begin(); }
    iterator end() { return m_parts.end(); }

    iterator Insert(PendingPart part);
    iterator Erase(iterator first, iterator last);
    void Clear();
    size_t Size() const { return m_parts.size(); }
    bool Empty() const { return m_parts.empty(); }

  private:
    // The first and the last part of one key; the parts between them share it.
    struct Run {
        iterator first, last;
    };

    std::list<PendingPart> m_parts;
    std::map<std::string, Run, std::less<>> m_keys;
};

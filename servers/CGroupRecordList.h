#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "servers/GroupRecord.h"

// An indexed sequence of owned group records, kept in blocks of a few hundred
// pointers so that inserting in the middle of a long list moves little memory.
// Records are heap objects: their addresses stay valid until the list dies.
class CGroupRecordList {
  public:
    std::size_t Size() const { return m_nCount; }
    GroupRecord& At(std::size_t index) const;

    void PushBack(std::unique_ptr<GroupRecord> record);
    // Inserts before `index` (index == Size() appends).
    void Insert(std::size_t index, std::unique_ptr<GroupRecord> record);

    // Calls `pred` on the records from `index` onwards and returns the index of the
    // first one it accepts, or Size() when none does.
    template <class Pred> std::size_t FindFrom(std::size_t index, Pred&& pred) const {
        if (index >= m_nCount) {
            return m_nCount;
        }
        std::size_t block = BlockOf(index);
        std::size_t offset = index - m_starts[block];
        for (; block < m_blocks.size(); ++block, offset = 0) {
            const Block& items = m_blocks[block];
            for (; offset < items.size(); ++offset) {
                if (pred(*items[offset])) {
                    return m_starts[block] + offset;
                }
            }
        }
        return m_nCount;
    }

    // The first index whose record fails `pred`, for a predicate that holds on a
    // prefix of the records (sorted data). Binary search.
    template <class Pred> std::size_t PartitionPoint(Pred&& pred) const {
        return Bisect(0, m_nCount, pred);
    }

    // The same from `first` on, for an answer expected close to `first`: gallops out
    // with doubling steps before bisecting.
    template <class Pred> std::size_t GallopFrom(std::size_t first, Pred&& pred) const {
        std::size_t low = first; // every index in [first, low) passes
        std::size_t high = first;
        for (std::size_t step = 1; high < m_nCount && pred(At(high)); step *= 2) {
            low = high + 1;
            high += step;
        }
        return Bisect(low, high < m_nCount ? high : m_nCount, pred);
    }

  private:
    using Block = std::vector<std::unique_ptr<GroupRecord>>;

    // The first failing index in [low, high), where `high` fails or is the end.
    template <class Pred> std::size_t Bisect(std::size_t low, std::size_t high, Pred& pred) const {
        while (low < high) {
            const std::size_t mid = low + (high - low) / 2;
            if (pred(At(mid))) {
                low = mid + 1;
            } else {
                high = mid;
            }
        }
        return low;
    }

    static constexpr std::size_t kBlockSize = 512;

    std::size_t BlockOf(std::size_t index) const;
    void SplitBlock(std::size_t block);
    void RenumberFrom(std::size_t block);

    std::vector<Block> m_blocks;
    std::vector<std::size_t> m_starts; // index of each block's first record
    std::size_t m_nCount = 0;
};

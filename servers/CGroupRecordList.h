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

  private:
    using Block = std::vector<std::unique_ptr<GroupRecord>>;
    static constexpr std::size_t kBlockSize = 512;

    std::size_t BlockOf(std::size_t index) const;
    void SplitBlock(std::size_t block);
    void RenumberFrom(std::size_t block);

    std::vector<Block> m_blocks;
    std::vector<std::size_t> m_starts; // index of each block's first record
    std::size_t m_nCount = 0;
};

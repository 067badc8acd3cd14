#include "servers/CGroupRecordList.h"

#include <algorithm>
#include <stdexcept>

GroupRecord& CGroupRecordList::At(std::size_t index) const {
    if (index >= m_nCount) {
        throw std::out_of_range("group record index out of range");
    }
    const std::size_t block = BlockOf(index);
    return *m_blocks[block][index - m_starts[block]];
}

void CGroupRecordList::PushBack(std::unique_ptr<GroupRecord> record) {
    if (m_blocks.empty() || m_blocks.back().size() >= kBlockSize) {
        m_starts.push_back(m_nCount);
        m_blocks.emplace_back().reserve(kBlockSize);
    }
    m_blocks.back().push_back(std::move(record));
    ++m_nCount;
}

void CGroupRecordList::Insert(std::size_t index, std::unique_ptr<GroupRecord> record) {
    if (index >= m_nCount) {
        PushBack(std::move(record));
        return;
    }
    std::size_t block = BlockOf(index);
    std::size_t offset = index - m_starts[block];
    if (m_blocks[block].size() >= kBlockSize) {
        SplitBlock(block);
        if (offset >= m_blocks[block].size()) {
            offset -= m_blocks[block].size();
            ++block;
        }
    }
    Block& items = m_blocks[block];
    items.insert(items.begin() + static_cast<std::ptrdiff_t>(offset), std::move(record));
    ++m_nCount;
    RenumberFrom(block + 1);
}

std::size_t CGroupRecordList::BlockOf(std::size_t index) const {
    // The last block whose first index is <= index.
    const auto it = std::upper_bound(m_starts.begin(), m_starts.end(), index);
    return static_cast<std::size_t>(it - m_starts.begin()) - 1;
}

void CGroupRecordList::SplitBlock(std::size_t block) {
    Block& full = m_blocks[block];
    const auto half = full.begin() + static_cast<std::ptrdiff_t>(full.size() / 2);
    Block upper;
    upper.reserve(kBlockSize);
    upper.insert(upper.end(), std::make_move_iterator(half), std::make_move_iterator(full.end()));
    full.erase(half, full.end());
    const std::size_t upperStart = m_starts[block] + full.size();
    const auto at = static_cast<std::ptrdiff_t>(block + 1);
    m_blocks.insert(m_blocks.begin() + at, std::move(upper));
    m_starts.insert(m_starts.begin() + at, upperStart);
}

void CGroupRecordList::RenumberFrom(std::size_t block) {
    for (; block < m_blocks.size(); ++block) {
        m_starts[block] = m_starts[block - 1] + m_blocks[block - 1].size();
    }
}

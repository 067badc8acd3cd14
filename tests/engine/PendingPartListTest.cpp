#include "engine/PendingPartList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <vector>

namespace {

PendingPart Part(uint32_t number, std::string key) {
    PendingPart part;
    part.record.Reset(number);
    part.setKey = std::move(key);
    return part;
}

TEST(PendingPartListTest, SortedByKeyEqualKeysKeepArrivalOrder) {
    PendingPartList list;
    const std::pair<const char*, uint32_t> arrivals[] = {
        {"pic (3/3)", 1}, {"b", 2}, {"pic (1/3)", 3}, {"b", 4}, {"B", 5},
        {"pic (2/3)", 6}, {"b", 7}, {"\xE9", 8},      {"", 9}};
    for (const auto& [key, number] : arrivals) {
        PendingPart part = Part(number, key);
        part.record.name = "copied";
        list.Insert(std::move(part));
    }
    std::vector<uint32_t> numbers;
    for (const PendingPart& part : list)
        numbers.push_back(part.record.articleNumber);
    // Byte-wise: upper case first, bytes above 127 last.
    EXPECT_EQ(numbers, (std::vector<uint32_t>{9, 5, 2, 4, 7, 3, 6, 1, 8}));
    EXPECT_EQ(list.begin()->record.name, "copied");

    list.Erase(std::next(list.begin()), std::next(list.begin(), 5));
    EXPECT_EQ(list.Size(), 5u);
    EXPECT_EQ(std::next(list.begin())->record.articleNumber, 3u);
    list.Clear();
    EXPECT_TRUE(list.Empty());
}

// Against a plain model (a vector kept in order by a stable insertion), through inserts and
// range erasures in every position: the key index must follow every change, parts of one key
// in part order, equal parts in arrival order.
TEST(PendingPartListTest, FollowsAModelThroughInsertsAndErasures) {
    PendingPartList list;
    struct Entry {
        std::string key;
        int32_t part;
        uint32_t number;
    };
    std::vector<Entry> model;
    uint32_t seed = 12345;
    auto random = [&seed](uint32_t range) {
        seed = seed * 1103515245 + 12345;
        return (seed >> 16) % range;
    };
    for (uint32_t number = 1; number <= 3000; ++number) {
        const std::string key = "s" + std::to_string(random(40));
        PendingPart part = Part(number, key);
        part.part = static_cast<int32_t>(random(6));
        list.Insert(part);
        auto place = std::upper_bound(
            model.begin(), model.end(), part, [](const PendingPart& p, const Entry& e) {
                return std::tie(p.setKey, p.part) < std::tie(e.key, e.part);
            });
        model.insert(place, {key, part.part, number});
        if (random(4) == 0) {
            const size_t from = random(static_cast<uint32_t>(model.size()));
            const size_t count = random(static_cast<uint32_t>(model.size() - from) + 1) % 12;
            list.Erase(std::next(list.begin(), static_cast<long>(from)),
                       std::next(list.begin(), static_cast<long>(from + count)));
            model.erase(model.begin() + static_cast<long>(from),
                        model.begin() + static_cast<long>(from + count));
        }
    }
    ASSERT_EQ(list.Size(), model.size());
    size_t i = 0;
    for (const PendingPart& part : list)
        ASSERT_EQ(part.record.articleNumber, model[i++].number) << i;
}

} // namespace

#include "engine/PendingPartList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

TEST(PendingPartListTest, SortedBySubjectEqualSubjectsKeepArrivalOrder) {
    PendingPartList list;
    const std::pair<const char*, uint32_t> arrivals[] = {
        {"pic (3/3)", 1}, {"b", 2}, {"pic (1/3)", 3}, {"b", 4}, {"B", 5},
        {"pic (2/3)", 6}, {"b", 7}, {"\xE9", 8},      {"", 9}};
    for (const auto& [subject, number] : arrivals) {
        ArticleRecord record;
        record.Reset(number);
        record.subject = subject;
        record.name = "copied";
        list.Insert(record);
    }
    std::vector<uint32_t> numbers;
    for (const ArticleRecord& record : list)
        numbers.push_back(record.articleNumber);
    // Byte-wise: upper case first, bytes above 127 last.
    EXPECT_EQ(numbers, (std::vector<uint32_t>{9, 5, 2, 4, 7, 3, 6, 1, 8}));
    EXPECT_EQ(list.begin()->name, "copied");

    list.Erase(std::next(list.begin()), std::next(list.begin(), 5));
    EXPECT_EQ(list.Size(), 5u);
    EXPECT_EQ(std::next(list.begin())->articleNumber, 3u);
    list.Clear();
    EXPECT_TRUE(list.Empty());
}

// Against a plain model (a vector kept in order by a stable insertion), through inserts and
// range erasures in every position: the subject index must follow every change.
TEST(PendingPartListTest, FollowsAModelThroughInsertsAndErasures) {
    PendingPartList list;
    std::vector<std::pair<std::string, uint32_t>> model;
    uint32_t seed = 12345;
    auto random = [&seed](uint32_t range) {
        seed = seed * 1103515245 + 12345;
        return (seed >> 16) % range;
    };
    for (uint32_t number = 1; number <= 3000; ++number) {
        ArticleRecord record;
        record.Reset(number);
        record.subject = "s" + std::to_string(random(40));
        list.Insert(record);
        auto place =
            std::upper_bound(model.begin(), model.end(), record.subject,
                             [](const std::string& s, const auto& e) { return s < e.first; });
        model.insert(place, {record.subject, number});
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
    for (const ArticleRecord& record : list)
        ASSERT_EQ(record.articleNumber, model[i++].second) << i;
}

} // namespace

#include "engine/PendingPartList.h"

#include <gtest/gtest.h>

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

} // namespace

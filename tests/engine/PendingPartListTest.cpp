#include "engine/PendingPartList.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

ArticleRecord Record(const char* subject, uint32_t number) {
    ArticleRecord record;
    record.Reset(number);
    record.subject = subject;
    return record;
}

std::vector<uint32_t> Numbers(PendingPartList& list) {
    std::vector<uint32_t> numbers;
    for (const ArticleRecord& record : list)
        numbers.push_back(record.articleNumber);
    return numbers;
}

TEST(PendingPartListTest, SortedBySubjectEqualSubjectsKeepArrivalOrder) {
    PendingPartList list;
    EXPECT_TRUE(list.Empty());
    list.Insert(Record("pic (3/3)", 1));
    list.Insert(Record("b", 2));
    list.Insert(Record("pic (1/3)", 3));
    list.Insert(Record("b", 4));
    list.Insert(Record("B", 5)); // byte-wise: upper case sorts first
    list.Insert(Record("pic (2/3)", 6));
    list.Insert(Record("b", 7));
    list.Insert(Record("\xE9", 8)); // bytes above 127 sort last
    list.Insert(Record("", 9));
    EXPECT_EQ(Numbers(list), (std::vector<uint32_t>{9, 5, 2, 4, 7, 3, 6, 1, 8}));
    EXPECT_EQ(list.Size(), 9u);

    auto first = std::next(list.begin());
    list.Erase(first, std::next(first, 4));
    EXPECT_EQ(Numbers(list), (std::vector<uint32_t>{9, 3, 6, 1, 8}));
    list.Clear();
    EXPECT_TRUE(list.Empty());
}

TEST(PendingPartListTest, RecordsAreCopiedWhole) {
    ArticleRecord record = Record("s", 42);
    record.lines = 7;
    record.messageId = "<m>";
    record.from = "f";
    record.boundary = "--b";
    record.contentType = "t";
    record.name = "n";
    PendingPartList list;
    list.Insert(record);
    record.Reset(1);
    const ArticleRecord& stored = *list.begin();
    EXPECT_EQ(stored.articleNumber, 42u);
    EXPECT_EQ(stored.lines, 7);
    EXPECT_EQ(stored.messageId + stored.from + stored.boundary + stored.contentType + stored.name,
              "<m>f--btn");
    EXPECT_EQ(record.lines, -1);
    EXPECT_TRUE(record.subject.empty() && record.name.empty());
}

} // namespace

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

#include "servers/CGroupTable.h"
#include "support/ProfileHome.h"

namespace {

std::string GroupName(int i) {
    char text[32];
    std::snprintf(text, sizeof text, "alt.g%06d", i);
    return text;
}

std::unique_ptr<GroupRecord> Record(std::string name, uint32_t last = 0) {
    auto record = std::make_unique<GroupRecord>();
    record->name = std::move(name);
    record->last = last;
    return record;
}

class GroupTableTest : public ::testing::Test {
  protected:
    ProfileHome home;
    CGroupTable table{home.profile, "news.example.com"};
};

// A table read from a hand-edited file: the name order is broken at the given indices.
CGroupTable& Broken(CGroupTable& table, int count, std::map<int, std::string> overrides) {
    for (int i = 0; i < count; ++i) {
        const auto it = overrides.find(i);
        table.Append(Record(it == overrides.end() ? GroupName(i * 2) : it->second));
    }
    return table;
}

TEST_F(GroupTableTest, FindGroupInBrokenOrderCanMissAndHintSteersTheScan) {
    Broken(table, 2500, {{10, "zzz.misplaced"}, {1500, "aaa.early"}});
    // The probes at 0, 1000 and 2000 all lie below the name: the scan starts at 2000.
    EXPECT_EQ(table.FindGroup("zzz.misplaced", -1), nullptr);
    EXPECT_EQ(table.FindGroup("aaa.early", -1), &table.GetAt(1500))
        << "probe 0 fails, scan from the start";
    EXPECT_EQ(table.FindGroup(GroupName(1700 * 2), 1600), &table.GetAt(1700));
    EXPECT_EQ(table.FindGroup("aaa.early", 1600), &table.GetAt(1500))
        << "a hint whose name is greater than the wanted one is not used";

    CGroupTable small(home.profile, "news.example.com");
    Broken(small, 900, {{5, "alt.zzz"}});
    EXPECT_EQ(small.FindGroup("alt.zzz", -1), &small.GetAt(5));
    EXPECT_EQ(small.FindGroup("alt.zzz", 600), nullptr) << "a usable hint starts the scan there";
}

TEST_F(GroupTableTest, OrderedInsertInBrokenOrderStopsAtTheFirstGreaterName) {
    for (const char* name : {"c", "a", "d"}) {
        table.Append(Record(name));
    }
    table.InsertOrdered(Record("b"));
    table.InsertOrdered(Record("e"));
    ASSERT_EQ(table.GetCount(), 5u);
    EXPECT_EQ(table.GetAt(0).name, "b") << "before the first greater name, not after \"a\"";
    EXPECT_EQ(table.GetAt(1).name, "c");
    EXPECT_EQ(table.GetAt(4).name, "e") << "a name above the last one is appended";
}

// The probing lookup, step by step, over plain names.
long ProbedFind(const std::vector<std::string>& names, const std::string& n, long hint) {
    const std::size_t count = names.size();
    std::size_t start = 0;
    if (hint >= 0 && static_cast<std::size_t>(hint) < count && n > names[hint]) {
        start = static_cast<std::size_t>(hint);
    }
    std::size_t scan = 0;
    for (std::size_t probe = start; probe < count && names[probe] <= n; probe += 1000) {
        scan = probe;
    }
    for (; scan < count; ++scan) {
        if (names[scan] == n) {
            return static_cast<long>(scan);
        }
    }
    return -1;
}

// In name order the lookup may use searches, but with runs of equal names it must
// still return the very record the probing scan returns.
TEST_F(GroupTableTest, FindGroupInNameOrderReturnsWhatTheProbingScanReturns) {
    std::mt19937 random(3);
    std::vector<std::string> names;
    for (int i = 0; i < 300; ++i) {
        names.insert(names.end(), 1 + random() % 30, GroupName(i * 2));
    }
    for (const std::string& name : names) {
        table.Append(Record(name));
    }
    const long count = static_cast<long>(names.size());
    for (int trial = 0; trial < 20000; ++trial) {
        const std::string n = GroupName(static_cast<int>(random() % 610));
        const long hint = static_cast<long>(random() % (count + 20)) - 10;
        const long expected = ProbedFind(names, n, hint);
        const GroupRecord* found = table.FindGroup(n, hint);
        if (expected < 0) {
            ASSERT_EQ(found, nullptr) << n << " hint " << hint;
        } else {
            ASSERT_EQ(found, &table.GetAt(static_cast<std::size_t>(expected)))
                << n << " hint " << hint;
        }
    }
    EXPECT_EQ(CGroupTable(home.profile, "x").FindGroup("a", 0), nullptr);
}

TEST_F(GroupTableTest, OrderedInsertPlacesEqualNamesAfterExistingOnes) {
    GroupRecord& first = table.InsertOrdered(Record("b", 1));
    table.InsertOrdered(Record("a"));
    table.InsertOrdered(Record("c"));
    GroupRecord& second = table.InsertOrdered(Record("b", 2));
    GroupRecord& upper = table.InsertOrdered(Record("B"));
    ASSERT_EQ(table.GetCount(), 5u);
    EXPECT_EQ(&table.GetAt(0), &upper) << "upper case sorts before lower case";
    EXPECT_EQ(table.GetAt(1).name, "a");
    EXPECT_EQ(&table.GetAt(2), &first);
    EXPECT_EQ(&table.GetAt(3), &second);
    EXPECT_EQ(table.GetAt(4).name, "c");
}

// Random inserts, many of them duplicates, must give the order of a stable sort, across
// all the step sizes of the probing and the block splits of the storage.
TEST_F(GroupTableTest, OrderedInsertMatchesAStableSortAndKeepsHandles) {
    std::mt19937 random(7);
    std::vector<std::pair<std::string, uint32_t>> model;
    std::vector<const GroupRecord*> handles;
    for (uint32_t i = 0; i < 6000; ++i) {
        std::string name = GroupName(static_cast<int>(random() % 3000));
        handles.push_back(&table.InsertOrdered(Record(name, i)));
        model.emplace_back(std::move(name), i);
    }
    std::stable_sort(model.begin(), model.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    ASSERT_EQ(table.GetCount(), model.size());
    for (std::size_t i = 0; i < model.size(); ++i) {
        ASSERT_EQ(table.GetAt(i).name, model[i].first) << i;
        ASSERT_EQ(table.GetAt(i).last, model[i].second) << i;
    }
    for (uint32_t i = 0; i < handles.size(); ++i) {
        ASSERT_EQ(handles[i]->last, i) << "a record handle moved";
    }
    EXPECT_THROW(table.GetAt(table.GetCount()), std::out_of_range);
}

TEST_F(GroupTableTest, AddListLineTakesTheFirstTokenOnly) {
    table.AddListLine("alt.b 0000012 0000001 y", nullptr);
    table.AddListLine("  alt.a\t5 1 m", nullptr);
    table.AddListLine("", nullptr);
    table.AddListLine("   ", nullptr);
    table.AddListLine("bad:name 1 1 y", nullptr);
    table.AddListLine("bad!name 1 1 y", nullptr);
    table.AddListLine("bad\nalt.evil: 99 1 y", nullptr);
    const std::string longName(5000, 'n');
    table.AddListLine(longName + " 10 1 y", nullptr);
    ASSERT_EQ(table.GetCount(), 3u);
    EXPECT_EQ(table.GetAt(0).name, "alt.a");
    EXPECT_EQ(table.GetAt(1).name, "alt.b");
    EXPECT_EQ(table.GetAt(2).name, longName);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_TRUE(table.GetAt(i).isNew);
        EXPECT_FALSE(table.GetAt(i).subscribed);
        EXPECT_EQ(table.GetAt(i).last, 0u);
    }
}

TEST_F(GroupTableTest, AddListLineCarriesStateOverFromThePreviousTable) {
    CGroupTable previous(home.profile, "news.example.com");
    previous.Append(Record("alt.gone", 9));
    auto kept = Record("alt.kept", 5000);
    kept->subscribed = true;
    kept->pending = {4990, 4995};
    previous.Append(std::move(kept));
    previous.Append(Record("alt.plain", 12));

    for (const char* line : {"alt.fresh 3 1 y", "alt.kept 6000 1 y", "alt.plain 20 1 y"}) {
        table.AddListLine(line, &previous);
    }
    ASSERT_EQ(table.GetCount(), 3u);
    const GroupRecord& fresh = table.GetAt(0);
    EXPECT_TRUE(fresh.isNew);
    const GroupRecord& carried = table.GetAt(1);
    EXPECT_EQ(carried.name, "alt.kept");
    EXPECT_FALSE(carried.isNew);
    EXPECT_TRUE(carried.subscribed);
    EXPECT_EQ(carried.last, 5000u);
    EXPECT_EQ(carried.pending, (std::vector<uint32_t>{4990, 4995}));
    EXPECT_FALSE(table.GetAt(2).isNew);
    EXPECT_EQ(table.GetAt(2).last, 12u);
    EXPECT_EQ(table.FindGroup("alt.gone", -1), nullptr);
}

TEST_F(GroupTableTest, AddListLineIntoItselfLeavesKnownGroupsAlone) {
    auto known = Record("alt.known", 77);
    known->subscribed = true;
    GroupRecord& handle = table.Append(std::move(known));
    table.AddListLine("alt.known 1 1 y", &table);
    table.AddListLine("alt.new 1 1 y", &table);
    table.AddListLine("alt.abc 1 1 y", &table);
    ASSERT_EQ(table.GetCount(), 3u);
    EXPECT_EQ(table.GetAt(0).name, "alt.abc");
    EXPECT_EQ(&table.GetAt(1), &handle);
    EXPECT_EQ(handle.last, 77u);
    EXPECT_FALSE(handle.isNew);
    EXPECT_TRUE(table.GetAt(2).isNew);
}

} // namespace

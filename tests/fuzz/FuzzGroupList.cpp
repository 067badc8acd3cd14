// LIST and NEWGROUPS lines into a newsgroup table, against a model that follows the probing
// lookup and the ordered insert step by step: a full list without a previous table, a full
// list that takes over the state of a previous table (Reset List), and new groups added to a
// table that may be in any order (a hand-edited .newsrc). After the lines the table equals the
// model record by record, a table built from lists alone is in name order, lookups with any
// hint find the record the probing scan finds, and the table survives its .newsrc file.
//
// Input: two switch bytes, then lines split at '\n'. The lines up to the first empty one make
// the previous table (appended in that order: its first token the name unless it holds what a
// .newsrc name cannot, ':' in the line means subscribed, its stored number and its one pending
// number tell the records apart); the rest are the server's reply lines.
//   byte 0: bits 0-1 the case (0 no previous table, 1 previous table, 2 new groups into the
//           previous table itself), bit 2 each line stands for a run of names: the first
//           token with "0", "1", ... appended, so that tables grow past the probe stride
//   byte 1: how many names each line stands for (1 to 256), and the lookup hints
#include "platform/CHive.h"
#include "platform/CProfile.h"
#include "servers/CGroupTable.h"
#include "tests/fuzz/FuzzSupport.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

using fuzz::Check;

constexpr size_t kStride = 1000;
constexpr size_t kMinStep = 100;
constexpr size_t kMaxRecords = 3000;
constexpr size_t kNone = static_cast<size_t>(-1);

struct Model {
    std::string name;
    uint32_t last = 0;
    bool subscribed = false;
    std::vector<uint32_t> pending;
    bool isNew = false;
};
// Rows by pointer: inserting in the middle of a long model moves little.
using Rows = std::vector<std::unique_ptr<Model>>;

// The model's scans are long and are no code under test: coverage tracing of their
// comparisons would only slow every input down.
#define GW_NOT_TRACED __attribute__((no_sanitize("coverage")))

// The lookup as the probing scan does it, on the model.
GW_NOT_TRACED size_t ReferenceFind(const Rows& table, std::string_view name, long hint) {
    const size_t count = table.size();
    size_t start = 0;
    if (hint >= 0 && static_cast<size_t>(hint) < count && name > table[hint]->name)
        start = static_cast<size_t>(hint);
    size_t scan = 0;
    for (size_t probe = start; probe < count && table[probe]->name <= name; probe += kStride)
        scan = probe;
    for (; scan < count; ++scan)
        if (table[scan]->name == name)
            return scan;
    return kNone;
}

// The ordered insert with its halving probes, on the model.
GW_NOT_TRACED size_t ReferenceInsertPosition(const Rows& table, std::string_view name) {
    const size_t count = table.size();
    if (count > 0 && name > table.back()->name)
        return count;
    size_t pos = 0;
    for (size_t step = count / 2 >= kStride ? count / 2 : kStride; step >= kMinStep; step /= 2)
        while (pos + step < count && table[pos + step]->name <= name)
            pos += step;
    while (pos < count && table[pos]->name <= name)
        ++pos;
    return pos;
}

// The group name of a reply line: its first blank-delimited token.
std::string_view FirstToken(std::string_view line) {
    const size_t begin = line.find_first_not_of(" \t");
    if (begin == std::string_view::npos)
        return {};
    return line.substr(begin, line.find_first_of(" \t", begin) - begin);
}

void ReferenceAddListLine(Rows& table, std::string_view line, const Rows* previous,
                          bool intoPrevious) {
    const std::string_view name = FirstToken(line);
    if (name.empty() || name.find_first_of("!:\r\n") != std::string_view::npos)
        return;
    auto record = std::make_unique<Model>(Model{std::string(name), 0, false, {}, true});
    if (previous != nullptr) {
        const size_t known = ReferenceFind(*previous, name, static_cast<long>(table.size()) - 1);
        if (known != kNone && intoPrevious)
            return;
        if (known != kNone)
            *record = Model{record->name, (*previous)[known]->last, (*previous)[known]->subscribed,
                            (*previous)[known]->pending, false};
    }
    table.insert(table.begin() + static_cast<long>(ReferenceInsertPosition(table, name)),
                 std::move(record));
}

// The line, or the run of lines it stands for (its first token with a number appended).
std::vector<std::string> Expand(const std::string& line, size_t copies) {
    if (copies == 0)
        return {line};
    const size_t begin = std::min(line.find_first_not_of(" \t"), line.size());
    const size_t end = std::min(line.find_first_of(" \t", begin), line.size());
    std::vector<std::string> lines;
    for (size_t k = 0; k < copies; ++k)
        lines.push_back(line.substr(0, end) + std::to_string(k) + line.substr(end));
    return lines;
}

void CheckEqual(const CGroupTable& table, const Rows& model) {
    Check(table.GetCount() == model.size(), "the table holds a different number of groups");
    for (size_t i = 0; i < model.size(); ++i) {
        const GroupRecord& r = table.GetAt(i);
        const Model& m = *model[i];
        Check(r.name == m.name, "a group is in the wrong place");
        Check(r.last == m.last && r.subscribed == m.subscribed && r.pending == m.pending &&
                  r.isNew == m.isNew,
              "a group did not take over the state it should have");
    }
}

void CheckLookups(const CGroupTable& table, const Rows& model,
                  const std::vector<std::string>& names, uint8_t seed) {
    const long count = static_cast<long>(model.size());
    const long hints[] = {-1, 0, count - 1, count / 2, (count * seed) / 256, count};
    // Every name when the table is small; an even spread of them otherwise.
    const size_t every = std::max<size_t>(1, names.size() / 64);
    for (size_t i = 0; i < names.size(); i += every) {
        for (const long hint : hints) {
            const size_t expected = ReferenceFind(model, names[i], hint);
            const GroupRecord* found = table.FindGroup(names[i], hint);
            Check(found == (expected == kNone ? nullptr : &table.GetAt(expected)),
                  "a lookup found another record than the probing scan");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const int mode = data[0] & 3;
    const size_t copies = (data[0] & 4) != 0 ? 1 + size_t{data[1]} : 0;
    std::vector<std::string> previousLines, listLines;
    bool inList = false;
    for (const std::string& line :
         fuzz::SplitLines(std::string_view(reinterpret_cast<const char*>(data) + 2, size - 2))) {
        if (!inList && line.empty()) {
            inList = true;
            continue;
        }
        for (std::string& one : Expand(line, copies))
            (inList ? listLines : previousLines).push_back(std::move(one));
    }
    if (previousLines.size() + listLines.size() > kMaxRecords)
        return 0;

    CHive hive;
    CProfile profile(hive);
    const std::string path = fuzz::Folder() + "list.newsrc";
    profile.WriteProfileString("Servers\\fuzz", "NEWSRC File", path);
    profile.WriteProfileInt("Settings", "m_bBackupNewsrc", 0);

    CGroupTable previous(profile, "fuzz");
    Rows previousModel;
    if (mode != 0) {
        for (const std::string& line : previousLines) {
            // Names as a .newsrc file can hold them, which the tables read from one have.
            const std::string_view name = FirstToken(line);
            if (name.empty() || name.find_first_of("!:\r") != std::string_view::npos)
                continue;
            const auto number = static_cast<uint32_t>(previousModel.size());
            Model m{std::string(name),
                    number + 1,
                    line.find(':') != std::string::npos,
                    {number},
                    false};
            auto record = std::make_unique<GroupRecord>();
            record->name = m.name;
            record->last = m.last;
            record->subscribed = m.subscribed;
            record->pending = m.pending;
            previous.Append(std::move(record));
            previousModel.push_back(std::make_unique<Model>(std::move(m)));
        }
    }

    const bool intoPrevious = mode == 2;
    CGroupTable fresh(profile, "fuzz");
    CGroupTable& table = intoPrevious ? previous : fresh;
    Rows freshModel;
    Rows& model = intoPrevious ? previousModel : freshModel;
    const CGroupTable* from = mode == 0 ? nullptr : &previous;
    for (const std::string& line : listLines) {
        table.AddListLine(line, from);
        ReferenceAddListLine(model, line, from == nullptr ? nullptr : &previousModel, intoPrevious);
    }
    CheckEqual(table, model);
    if (!intoPrevious)
        for (size_t i = 1; i < model.size(); ++i)
            Check(table.GetAt(i - 1).name <= table.GetAt(i).name,
                  "a table built from lists is not in name order");

    std::vector<std::string> names;
    for (const auto& m : model) {
        names.push_back(m->name);
        names.push_back(m->name + "~"); // mostly absent, and between the present ones
    }
    for (const auto& m : previousModel)
        names.push_back(m->name);
    CheckLookups(table, model, names, data[1]);

    table.Save();
    CGroupTable reloaded(profile, "fuzz");
    reloaded.Load();
    for (auto& m : model)
        m->isNew = false;
    CheckEqual(reloaded, model);
    return 0;
}

// The .newsrc reader and writer: the input as a .newsrc file is loaded, saved, loaded into a
// second table and saved again. The records follow a reference reading of each line, the saved
// text has the writer's layout, survives the second round unchanged (records and text), and
// each first save in a process keeps the file it replaced as the backup.
#include "platform/CHive.h"
#include "platform/CProfile.h"
#include "servers/CGroupTable.h"
#include "tests/fuzz/FuzzSupport.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

using fuzz::Check;

constexpr std::string_view kMarks = "!:";
constexpr std::string_view kBlanks = " \t";

struct Record {
    std::string name;
    bool subscribed = false;
    uint32_t last = 0;
    std::vector<uint32_t> pending;
};

// A number token as the reader converts it (sign, digits up to the first other character,
// modulo 2^32), computed through strtoll; nothing for digit runs too long for it.
std::optional<uint32_t> Number(std::string_view token) {
    size_t digits = !token.empty() && (token[0] == '+' || token[0] == '-') ? 1 : 0;
    size_t end = digits;
    while (end < token.size() && token[end] >= '0' && token[end] <= '9')
        ++end;
    if (end == digits)
        return 0;
    if (end - digits > 18)
        return std::nullopt;
    const std::string copy(token.substr(0, end));
    return static_cast<uint32_t>(std::strtoll(copy.c_str(), nullptr, 10));
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && kBlanks.find(text.front()) != std::string_view::npos)
        text.remove_prefix(1);
    while (!text.empty() && kBlanks.find(text.back()) != std::string_view::npos)
        text.remove_suffix(1);
    return text;
}

// One line read the way the reader promises: the name runs from the first character that is
// no mark to the next mark (or blank, when no mark follows), trimmed; blank-separated numbers
// after the marks; a line without a name, or with a carriage return in it, yields nothing.
std::optional<Record> ReferenceLine(std::string_view line, bool& numbersKnown) {
    if (line.ends_with('\r'))
        line.remove_suffix(1);
    const size_t begin = line.find_first_not_of(kMarks);
    if (begin == std::string_view::npos)
        return std::nullopt;
    size_t end = line.find_first_of(kMarks, begin);
    if (end == std::string_view::npos)
        end = line.find_first_of(kBlanks, begin);
    Record record;
    record.name = Trim(line.substr(begin, end - begin));
    if (record.name.empty() || record.name.find('\r') != std::string::npos)
        return std::nullopt;
    record.subscribed = line.find(':') != std::string_view::npos;
    std::string_view rest = end == std::string_view::npos ? "" : line.substr(end);
    while (!rest.empty() && (kMarks.find(rest[0]) != std::string_view::npos ||
                             kBlanks.find(rest[0]) != std::string_view::npos))
        rest.remove_prefix(1);
    std::vector<uint32_t> numbers;
    while (!(rest = Trim(rest)).empty()) {
        const size_t cut = std::min(rest.find_first_of(kBlanks), rest.size());
        const auto number = Number(rest.substr(0, cut));
        numbersKnown = numbersKnown && number.has_value();
        numbers.push_back(number.value_or(0));
        rest.remove_prefix(cut);
    }
    if (!numbers.empty()) {
        record.last = numbers.front();
        record.pending.assign(numbers.begin() + 1, numbers.end());
    }
    return record;
}

bool Same(const GroupRecord& a, const Record& b, bool numbersKnown) {
    return a.name == b.name && a.subscribed == b.subscribed && !a.isNew &&
           (!numbersKnown || (a.last == b.last && a.pending == b.pending)) &&
           (numbersKnown || a.pending.size() == b.pending.size());
}

std::vector<Record> Records(const CGroupTable& table) {
    std::vector<Record> records;
    for (size_t i = 0; i < table.GetCount(); ++i) {
        const GroupRecord& r = table.GetAt(i);
        Check(!r.isNew, "a record read from the file counts as new");
        records.push_back(Record{r.name, r.subscribed, r.last, r.pending});
    }
    return records;
}

// The writer's layout: name, mark, blank, last, then blank and number per pending article.
std::string Layout(const std::vector<Record>& records) {
    std::string text;
    for (const Record& r : records) {
        text += r.name + (r.subscribed ? ": " : "! ") + std::to_string(r.last);
        for (const uint32_t number : r.pending)
            text += " " + std::to_string(number);
        text += '\n';
    }
    return text;
}

bool operator==(const Record& a, const Record& b) {
    return a.name == b.name && a.subscribed == b.subscribed && a.last == b.last &&
           a.pending == b.pending;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string path = fuzz::Folder() + "fuzz.newsrc";
    const std::string backup = path + ".backup";
    fuzz::WriteFile(path, text);
    std::remove(backup.c_str());

    CHive hive;
    CProfile profile(hive);
    profile.WriteProfileString("Servers\\fuzz", "NEWSRC File", path);

    CGroupTable first(profile, "fuzz");
    first.Load();
    std::vector<Record> expected;
    bool numbersKnown = true;
    for (const std::string& line : fuzz::SplitLines(text))
        if (auto record = ReferenceLine(line, numbersKnown))
            expected.push_back(std::move(*record));
    Check(first.GetCount() == expected.size(), "the reader kept a different number of groups");
    for (size_t i = 0; i < expected.size(); ++i)
        Check(Same(first.GetAt(i), expected[i], numbersKnown), "a line was read wrongly");

    first.Save();
    const std::string written = fuzz::ReadFile(path);
    const std::vector<Record> records = Records(first);
    Check(written == Layout(records), "the saved text does not have the writer's layout");
    Check(fuzz::ReadFile(backup) == text, "the backup is not the file as it was");

    CGroupTable second(profile, "fuzz");
    second.Load();
    Check(Records(second) == records, "the saved file reads back differently");
    second.Save();
    Check(fuzz::ReadFile(path) == written, "the saved text is not stable after one round");
    Check(fuzz::ReadFile(backup) == written, "the second table's backup is not its file");
    return 0;
}

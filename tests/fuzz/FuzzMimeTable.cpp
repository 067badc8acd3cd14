// The MIME type table as a run loads it, from a hive the input builds value by value: sets and
// deletions under the table's key (spelt in any letter case, with stray backslashes) and under
// keys beside and below it. The rows follow a model of the key's values (names compared
// without case, a value set again keeping its place and first spelling), in creation order up
// to the first value whose name or data does not fit a row, the action being the data bytes
// read little-endian. The hive written out and read back gives the same table.
#include "options/CMimeTable.h"
#include "platform/CHive.h"
#include "platform/CRegText.h"
#include "tests/fuzz/FuzzSupport.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using fuzz::Check;

constexpr size_t kMaxName = 999;
constexpr size_t kMaxData = 4;

// How the steps spell the table's key, and the keys that must not count. Made at first use:
// the table's own key is a global of another file.
const std::vector<std::string>& Spellings() {
    static const std::vector<std::string> spellings{
        CMimeTable::kKey,
        "software\\hollowfen\\gleanwick\\MIME",
        "\\Software\\\\Hollowfen\\Gleanwick\\mime\\",
    };
    return spellings;
}
const std::vector<std::string>& Others() {
    static const std::vector<std::string> others{
        "Software\\Hollowfen\\Gleanwick",
        CMimeTable::kKey + "\\Sub",
        "Software\\Hollowfen\\Gleanwick 97\\Mime",
        "Software\\Hollowfen\\Gleanwick\\Mime2",
    };
    return others;
}
constexpr uint32_t kTypes[] = {CHive::kString, CHive::kBinary, CHive::kDword, 7};

struct Value {
    std::string name;
    uint32_t type;
    std::string data;
};

std::string Folded(std::string_view name) {
    std::string folded(name);
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return folded;
}

class Model {
  public:
    void Set(const std::string& name, uint32_t type, const std::string& data) {
        if (Value* value = Find(name)) {
            value->type = type;
            value->data = data;
            return;
        }
        m_values.push_back(Value{name, type, data});
    }
    void Delete(const std::string& name) {
        std::erase_if(m_values, [&](const Value& v) { return Folded(v.name) == Folded(name); });
    }
    std::vector<MimeActionEntry> Rows() const {
        std::vector<MimeActionEntry> rows;
        for (const Value& value : m_values) {
            if (value.name.size() > kMaxName || value.data.size() > kMaxData)
                break;
            uint32_t action = 0;
            for (size_t i = value.data.size(); i > 0; --i)
                action = (action << 8) | static_cast<unsigned char>(value.data[i - 1]);
            rows.push_back(MimeActionEntry{action, value.name});
        }
        return rows;
    }

  private:
    Value* Find(const std::string& name) {
        for (Value& value : m_values)
            if (Folded(value.name) == Folded(name))
                return &value;
        return nullptr;
    }

    std::vector<Value> m_values;
};

// Names are mostly short; now and then one near the longest a row can hold.
std::string Name(FuzzedDataProvider& input) {
    const auto length = input.ConsumeIntegral<uint8_t>();
    if (length < 250)
        return input.ConsumeBytesAsString(length % 24);
    return std::string(kMaxName - 2 + length % 6, 'x') + input.ConsumeBytesAsString(2);
}

bool SameRows(const std::vector<MimeActionEntry>& a, const std::vector<MimeActionEntry>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
        return x.action == y.action && x.type == y.type;
    });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    CHive hive;
    Model model;
    while (input.remaining_bytes() > 0) {
        const auto step = input.ConsumeIntegral<uint8_t>();
        const bool own = (step & 1) == 0;
        const std::vector<std::string>& keys = own ? Spellings() : Others();
        const std::string& key = keys[(step >> 2) % keys.size()];
        const std::string name = Name(input);
        if ((step & 2) != 0) {
            hive.DeleteValue(key, name);
            if (own)
                model.Delete(name);
            continue;
        }
        const uint32_t type = kTypes[(step >> 4) % std::size(kTypes)];
        const std::string bytes = input.ConsumeBytesAsString(input.ConsumeIntegralInRange(0, 6));
        Check(hive.SetValue(key, name, type, bytes), "a value could not be set");
        if (own)
            model.Set(name, type, bytes);
    }
    const std::vector<MimeActionEntry> rows = CMimeTable::LoadMimeTable(hive);
    Check(SameRows(rows, model.Rows()), "the table does not hold the rows the values give");

    CHive reloaded;
    std::string error;
    Check(CRegText::Parse(CRegText::Serialize(hive), reloaded, error), "the hive did not reload");
    Check(SameRows(CMimeTable::LoadMimeTable(reloaded), rows), "the reloaded table differs");
    return 0;
}

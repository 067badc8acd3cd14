#include "options/CMimeTable.h"

#include <algorithm>
#include <span>
#include <string_view>

#include "platform/CHive.h"
#include "platform/CProfile.h"

namespace {

constexpr std::size_t kMaxNameLength = 999;
constexpr std::size_t kMaxDataSize = 4;

// The data bytes as a little-endian number, as a 4-byte buffer would receive them.
uint32_t ActionOf(const std::string& data) {
    uint32_t action = 0;
    for (std::size_t i = data.size(); i > 0; --i) {
        action = (action << 8) | static_cast<unsigned char>(data[i - 1]);
    }
    return action;
}

bool FitsARow(const CHive::Value& value) {
    return value.name.size() <= kMaxNameLength && value.data.size() <= kMaxDataSize;
}

bool SameValue(const CHive::Value& a, const CHive::Value& b) {
    return a.name == b.name && a.type == b.type && a.data == b.data;
}

std::vector<CHive::Value> ValuesOf(const CHive& hive, std::string_view key) {
    std::vector<CHive::Value> values;
    for (std::size_t i = 0; const CHive::Value* value = hive.EnumValue(key, i); ++i) {
        values.push_back(*value);
    }
    return values;
}

std::string DwordBytes(uint32_t number) {
    std::string bytes(4, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>((number >> (8 * i)) & 0xFF);
    }
    return bytes;
}

// The stored value for a row: the one it was read from when the row is unchanged, else a
// 32-bit number.
CHive::Value ValueOf(const MimeActionEntry& row, std::span<const CHive::Value> readable) {
    for (const CHive::Value& value : readable) {
        if (value.name == row.type && ActionOf(value.data) == row.action) {
            return value;
        }
    }
    return CHive::Value{row.type, CHive::kDword, DwordBytes(row.action)};
}

void Set(CHive& hive, std::string_view key, const CHive::Value& value) {
    hive.SetValue(key, value.name, value.type, value.data);
}

} // namespace

const std::string CMimeTable::kKey = std::string(CProfile::kApplicationKey) + "\\Mime";

std::vector<MimeActionEntry> CMimeTable::LoadMimeTable(const CHive& hive) {
    std::vector<MimeActionEntry> table;
    for (std::size_t i = 0;; ++i) {
        const CHive::Value* value = hive.EnumValue(kKey, i);
        if (!value || !FitsARow(*value)) {
            return table;
        }
        table.push_back(MimeActionEntry{ActionOf(value->data), value->name});
    }
}

void CMimeTable::SaveMimeTable(CHive& hive, const std::vector<MimeActionEntry>& table) {
    const std::vector<CHive::Value> stored = ValuesOf(hive, kKey);
    const auto unread = std::find_if_not(stored.begin(), stored.end(), FitsARow);

    // The values to store, gathered in a scratch hive whose names compare as the real one's
    // do: a name set twice stays one value.
    CHive wanted;
    for (const MimeActionEntry& row : table) {
        Set(wanted, "", ValueOf(row, std::span(stored.begin(), unread)));
    }
    for (auto kept = unread; kept != stored.end(); ++kept) {
        if (wanted.QueryValue("", kept->name) == nullptr) {
            Set(wanted, "", *kept);
        }
    }
    const std::vector<CHive::Value> values = ValuesOf(wanted, "");
    if (std::equal(values.begin(), values.end(), stored.begin(), stored.end(), SameValue)) {
        return;
    }
    for (const CHive::Value& value : stored) {
        hive.DeleteValue(kKey, value.name);
    }
    // Setting a value creates a missing key.
    for (const CHive::Value& value : values) {
        Set(hive, kKey, value);
    }
}

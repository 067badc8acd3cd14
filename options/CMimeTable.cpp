#include "options/CMimeTable.h"

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

} // namespace

const std::string CMimeTable::kKey = std::string(CProfile::kApplicationKey) + "\\Mime";

std::vector<MimeActionEntry> CMimeTable::LoadMimeTable(const CHive& hive) {
    std::vector<MimeActionEntry> table;
    for (std::size_t i = 0;; ++i) {
        const CHive::Value* value = hive.EnumValue(kKey, i);
        if (!value || value->name.size() > kMaxNameLength || value->data.size() > kMaxDataSize) {
            return table;
        }
        table.push_back(MimeActionEntry{ActionOf(value->data), value->name});
    }
}

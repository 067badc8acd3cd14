// The one-time copy of the older settings layout, on a hive parsed from the input: the result
// equals the hive as it was plus exactly the values the mapping table gives (each copied only
// when readable as a 4-byte integer or as a string that fits 1000 bytes), nothing else changes,
// a second migration changes nothing, and the migrated hive survives the settings file.
#include "app/SettingsMigration.h"
#include "platform/CHive.h"
#include "platform/CProfile.h"
#include "platform/CRegText.h"
#include "tests/fuzz/FuzzSupport.h"

#include <cstdint>
#include <optional>
#include <string>

namespace {

using fuzz::Check;

const std::string kOld = "Software\\Hollowfen\\Gleanwick 97";
const std::string kNew(CProfile::kApplicationKey);
constexpr size_t kBuffer = 1000;

struct Copy {
    const char* source;
    const char* target;
    bool isString;
};

struct OptionCopy {
    const char* subkey;
    Copy copy;
};

// The older layout's settings in the order they are copied.
constexpr Copy kServerValues[] = {
    {"Last Update", "Last Update", true},
    {"Login Password", "Login Password", true},
    {"Login User", "Login User", true},
    {"NEWSRC File", "NEWSRC File", true},
    {"Login Required", "Login Required", false},
    {"Port", "Port", false},
    {"Timeout", "Timeout", false},
};
constexpr OptionCopy kOptionValues[] = {
    {"Settings", {"Backup NewsRC", "m_bBackupNewsrc", false}},
    {"Settings", {"Check For Upgrades", "m_bCheckVer", false}},
    {"Decode", {"Articles Without Lines", "m_bDecodeNoLines", false}},
    {"Decode", {"Articles Without Part Identifiers", "m_bDecodeNoPartID", false}},
    {"Decode", {"Articles Without Subjects", "m_bDecodeNoSubject", false}},
    {"Decode", {"Delete Failed Decodes", "m_bDeleteFails", false}},
    {"Decode", {"Folder", "m_DecodeDir", true}},
    {"Decode", {"Max Lines", "m_uMaxLines", false}},
    {"Decode", {"Min Lines", "m_uMinLines", false}},
    {"Decode", {"Replies", "m_bDecodeReplies", false}},
};

std::optional<uint32_t> Integer(const CHive::Value* value) {
    if (value == nullptr || value->data.size() != 4 ||
        (value->type != CHive::kDword && value->type != CHive::kBinary))
        return std::nullopt;
    uint32_t number = 0;
    for (size_t i = 4; i > 0; --i)
        number = (number << 8) | static_cast<unsigned char>(value->data[i - 1]);
    return number;
}

void CopyValue(const CHive& source, const std::string& from, const Copy& copy, CHive& target,
               const std::string& to) {
    const CHive::Value* value = source.QueryValue(from, copy.source);
    if (copy.isString) {
        if (value != nullptr && value->type == CHive::kString && value->data.size() < kBuffer)
            target.SetString(to, copy.target, value->data);
        return;
    }
    if (const auto number = Integer(value))
        target.SetDword(to, copy.target, *number);
}

// What the migration is to write into `target`, read from `source` (the same hive before).
void ExpectedMigration(const CHive& source, CHive& target) {
    if (source.KeyExists(kNew))
        return;
    const std::string servers = kOld + "\\Servers";
    for (size_t i = 0; const auto name = source.EnumKey(servers, i); ++i) {
        if (name->size() >= kBuffer)
            continue;
        const std::string to = kNew + "\\Servers\\" + *name;
        target.CreateKey(to);
        for (const Copy& copy : kServerValues)
            CopyValue(source, servers + '\\' + *name, copy, target, to);
    }
    for (size_t i = 0; const CHive::Value* value = source.EnumValue(kOld + "\\Mime", i); ++i) {
        if (const auto number = Integer(value); number && value->name.size() < kBuffer)
            target.SetDword(kNew + "\\Mime", value->name, *number);
    }
    for (const OptionCopy& option : kOptionValues)
        CopyValue(source, kOld + '\\' + option.subkey, option.copy, target, kNew + "\\Settings");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string error;
    CHive hive;
    if (!CRegText::Parse(text, hive, error))
        return 0;
    const std::string before = CRegText::Serialize(hive);
    CHive expected;
    CRegText::Parse(before, expected, error);
    ExpectedMigration(hive, expected);

    CProfile profile(hive);
    MigrateSettings(profile);
    const std::string after = CRegText::Serialize(hive);
    Check(after == CRegText::Serialize(expected), "the migration did not write what it should");
    Check(hive.KeyExists(kNew) || after == before, "nothing migrated yet the hive changed");

    MigrateSettings(profile);
    Check(CRegText::Serialize(hive) == after, "a second migration changed the hive");

    CHive reloaded;
    Check(CRegText::Parse(after, reloaded, error) && CRegText::Serialize(reloaded) == after,
          "the migrated hive does not survive the settings file");
    return 0;
}

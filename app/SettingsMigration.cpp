#include "app/SettingsMigration.h"

#include "options/CSettings.h"
#include "platform/CHive.h"
#include "platform/CProfile.h"
#include "servers/CServerRecord.h"

#include <optional>
#include <string>
#include <string_view>

namespace {

constexpr std::string_view kOldKey = "Software\\Hollowfen\\Gleanwick 97";
// The older program read names and strings into 1000-character buffers; what did not fit was
// never read. A name that long would also stop the current readers' enumerations.
constexpr size_t kBufferSize = 1000;

struct Mapping {
    std::string_view source;
    std::string_view target;
    bool isString;
};

constexpr Mapping kSettings[] = {
    {"Backup NewsRC", "m_bBackupNewsrc", false},
    {"Check For Upgrades", "m_bCheckVer", false},
};

constexpr Mapping kDecode[] = {
    {"Articles Without Lines", "m_bDecodeNoLines", false},
    {"Articles Without Part Identifiers", "m_bDecodeNoPartID", false},
    {"Articles Without Subjects", "m_bDecodeNoSubject", false},
    {"Delete Failed Decodes", "m_bDeleteFails", false},
    {"Folder", "m_DecodeDir", true},
    {"Max Lines", "m_uMaxLines", false},
    {"Min Lines", "m_uMinLines", false},
    {"Replies", "m_bDecodeReplies", false},
};

std::string OldKey(std::string_view subkey) {
    return std::string(kOldKey) + '\\' + std::string(subkey);
}

// A 4-byte integer: a DWORD, or 4 bytes of binary data as the older program may have stored it.
std::optional<uint32_t> ReadInteger(const CHive::Value* value) {
    if (value == nullptr) {
        return std::nullopt;
    }
    if (value->type == CHive::kBinary && value->data.size() == 4) {
        CHive::Value asDword = *value;
        asDword.type = CHive::kDword;
        return asDword.AsDword();
    }
    return value->AsDword();
}

// A string that fits the buffer with its terminating NUL.
std::optional<std::string> ReadString(const CHive::Value* value) {
    if (value == nullptr || value->type != CHive::kString || value->data.size() >= kBufferSize) {
        return std::nullopt;
    }
    return value->data;
}

void CopyInteger(CProfile& profile, const std::string& key, std::string_view source,
                 std::string_view section, std::string_view target) {
    if (const auto value = ReadInteger(profile.Hive().QueryValue(key, source))) {
        profile.WriteProfileInt(section, target, *value);
    }
}

void CopyString(CProfile& profile, const std::string& key, std::string_view source,
                std::string_view section, std::string_view target) {
    if (const auto value = ReadString(profile.Hive().QueryValue(key, source))) {
        profile.WriteProfileString(section, target, *value);
    }
}

void CopyMapped(CProfile& profile, std::string_view subkey, const auto& mappings) {
    const std::string key = OldKey(subkey);
    if (!profile.Hive().KeyExists(key)) {
        return;
    }
    for (const Mapping& mapping : mappings) {
        if (mapping.isString) {
            CopyString(profile, key, mapping.source, CSettings::kSection, mapping.target);
        } else {
            CopyInteger(profile, key, mapping.source, CSettings::kSection, mapping.target);
        }
    }
}

void MigrateServers(CProfile& profile) {
    const std::string serversKey = OldKey("Servers");
    CHive& hive = profile.Hive();
    for (size_t i = 0; const auto name = hive.EnumKey(serversKey, i); ++i) {
        if (name->size() >= kBufferSize) {
            continue;
        }
        const std::string key = serversKey + '\\' + *name;
        CServerRecord record(profile, *name);
        // The server is kept even when it has none of the values: an empty record is a server
        // with the default port and time-out.
        record.Create();
        const std::string section = record.Section();
        for (const CServerRecord::ValueName& value : CServerRecord::kValueNames) {
            if (value.isString) {
                CopyString(profile, key, value.name, section, value.name);
            } else {
                CopyInteger(profile, key, value.name, section, value.name);
            }
        }
    }
}

void MigrateMime(CProfile& profile) {
    const std::string key = OldKey("Mime");
    const CHive& hive = profile.Hive();
    // Values that are not 4-byte integers, or whose names are too long, are passed over; the
    // rows after them are still copied.
    for (size_t i = 0; const CHive::Value* value = hive.EnumValue(key, i); ++i) {
        const auto action = ReadInteger(value);
        if (action && value->name.size() < kBufferSize) {
            profile.WriteProfileInt("Mime", value->name, *action);
        }
    }
}

} // namespace

void MigrateSettings(CProfile& profile) {
    if (profile.Hive().KeyExists(CProfile::kApplicationKey)) {
        return;
    }
    MigrateServers(profile);
    MigrateMime(profile);
    CopyMapped(profile, CSettings::kSection, kSettings);
    CopyMapped(profile, "Decode", kDecode);
}

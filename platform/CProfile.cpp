#include "platform/CProfile.h"

#include "platform/CHive.h"

namespace {

std::string SectionKey(std::string_view section) {
    std::string key(CProfile::kApplicationKey);
    if (!section.empty()) {
        key += '\\';
        key += section;
    }
    return key;
}

} // namespace

uint32_t CProfile::GetProfileInt(std::string_view section, std::string_view entry,
                                 uint32_t def) const {
    return m_hive.GetDword(SectionKey(section), entry).value_or(def);
}

std::string CProfile::GetProfileString(std::string_view section, std::string_view entry,
                                       std::string_view def) const {
    std::optional<std::string> value = m_hive.GetString(SectionKey(section), entry);
    return value ? std::move(*value) : std::string(def);
}

void CProfile::WriteProfileInt(std::string_view section, std::string_view entry, uint32_t value) {
    m_hive.SetDword(SectionKey(section), entry, value);
}

void CProfile::WriteProfileString(std::string_view section, std::string_view entry,
                                  std::string_view value) {
    m_hive.SetString(SectionKey(section), entry, value);
}

#include "options/CSettings.h"

#include <variant>

#include "platform/CProfile.h"
#include "platform/ProgramFolder.h"

namespace {

struct BoolSetting {
    bool CSettings::*member;
    bool defaultValue;
};

struct NumberSetting {
    uint32_t CSettings::*member;
    uint32_t defaultValue;
};

struct TextSetting {
    std::string CSettings::*member;
    std::string (*defaultValue)(); // the program folder is only known at run time
};

struct Setting {
    std::string_view name;
    std::variant<BoolSetting, NumberSetting, TextSetting> field;
};

std::string DefaultDecodeDir() {
    return ProgramFolder() + "Decodes/";
}

// The values in the order they are stored; constant, so ready before any static constructor.
constexpr Setting kSettings[] = {
    {"m_bDeleteFails", BoolSetting{&CSettings::m_bDeleteFails, true}},
    {"m_bDecodeReplies", BoolSetting{&CSettings::m_bDecodeReplies, false}},
    {"m_bDecodeNoSubject", BoolSetting{&CSettings::m_bDecodeNoSubject, false}},
    {"m_bDecodeNoPartID", BoolSetting{&CSettings::m_bDecodeNoPartID, true}},
    {"m_bDecodeNoLines", BoolSetting{&CSettings::m_bDecodeNoLines, false}},
    {"m_bCheckVer", BoolSetting{&CSettings::m_bCheckVer, false}},
    {"m_bBackupNewsrc", BoolSetting{&CSettings::m_bBackupNewsrc, true}},
    {"m_bGroupDirs", BoolSetting{&CSettings::m_bGroupDirs, false}},
    {"m_bAutoExit", BoolSetting{&CSettings::m_bAutoExit, false}},
    {"m_bAutoStart", BoolSetting{&CSettings::m_bAutoStart, false}},
    {"m_bLog", BoolSetting{&CSettings::m_bLog, false}},
    {"m_uMinLines", NumberSetting{&CSettings::m_uMinLines, 500}},
    {"m_uMaxLines", NumberSetting{&CSettings::m_uMaxLines, 4294967295u}},
    {"m_DecodeDir", TextSetting{&CSettings::m_DecodeDir, DefaultDecodeDir}},
};

template <class... Handlers> struct Overloaded : Handlers... { using Handlers::operator()...; };
// Spelled out for compilers that do not deduce aggregates' arguments yet (clang before 17).
template <class... Handlers> Overloaded(Handlers...) -> Overloaded<Handlers...>;

} // namespace

CSettings::CSettings() {
    for (const Setting& setting : kSettings) {
        std::visit(Overloaded{
                       [this](const BoolSetting& s) { this->*s.member = s.defaultValue; },
                       [this](const NumberSetting& s) { this->*s.member = s.defaultValue; },
                       [this](const TextSetting& s) { this->*s.member = s.defaultValue(); },
                   },
                   setting.field);
    }
}

void CSettings::Load(const CProfile& profile) {
    for (const Setting& setting : kSettings) {
        const std::string_view name = setting.name;
        std::visit(Overloaded{
                       [&](const BoolSetting& s) {
                           bool& value = this->*s.member;
                           value = profile.GetProfileInt(kSection, name, value ? 1 : 0) != 0;
                       },
                       [&](const NumberSetting& s) {
                           uint32_t& value = this->*s.member;
                           value = profile.GetProfileInt(kSection, name, value);
                       },
                       [&](const TextSetting& s) {
                           std::string& value = this->*s.member;
                           value = profile.GetProfileString(kSection, name, value);
                       },
                   },
                   setting.field);
    }
}

void CSettings::Save(CProfile& profile) const {
    for (const Setting& setting : kSettings) {
        const std::string_view name = setting.name;
        std::visit(Overloaded{
                       [&](const BoolSetting& s) {
                           profile.WriteProfileInt(kSection, name, this->*s.member ? 1 : 0);
                       },
                       [&](const NumberSetting& s) {
                           profile.WriteProfileInt(kSection, name, this->*s.member);
                       },
                       [&](const TextSetting& s) {
                           profile.WriteProfileString(kSection, name, this->*s.member);
                       },
                   },
                   setting.field);
    }
}

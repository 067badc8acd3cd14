#include "options/CSettings.h"

#include "platform/CProfile.h"
#include "platform/ProgramFolder.h"

namespace {

void LoadBool(const CProfile& profile, std::string_view name, bool& value) {
    value = profile.GetProfileInt(CSettings::kSection, name, value ? 1 : 0) != 0;
}

void SaveBool(CProfile& profile, std::string_view name, bool value) {
    profile.WriteProfileInt(CSettings::kSection, name, value ? 1 : 0);
}

} // namespace

CSettings::CSettings() : m_DecodeDir(ProgramFolder() + "Decodes/") {}

void CSettings::Load(const CProfile& profile) {
    LoadBool(profile, "m_bDeleteFails", m_bDeleteFails);
    LoadBool(profile, "m_bDecodeReplies", m_bDecodeReplies);
    LoadBool(profile, "m_bDecodeNoSubject", m_bDecodeNoSubject);
    LoadBool(profile, "m_bDecodeNoPartID", m_bDecodeNoPartID);
    LoadBool(profile, "m_bDecodeNoLines", m_bDecodeNoLines);
    LoadBool(profile, "m_bCheckVer", m_bCheckVer);
    LoadBool(profile, "m_bBackupNewsrc", m_bBackupNewsrc);
    LoadBool(profile, "m_bGroupDirs", m_bGroupDirs);
    LoadBool(profile, "m_bAutoExit", m_bAutoExit);
    LoadBool(profile, "m_bAutoStart", m_bAutoStart);
    LoadBool(profile, "m_bLog", m_bLog);
    m_uMinLines = profile.GetProfileInt(CSettings::kSection, "m_uMinLines", m_uMinLines);
    m_uMaxLines = profile.GetProfileInt(CSettings::kSection, "m_uMaxLines", m_uMaxLines);
    m_DecodeDir = profile.GetProfileString(CSettings::kSection, "m_DecodeDir", m_DecodeDir);
}

void CSettings::Save(CProfile& profile) const {
    SaveBool(profile, "m_bDeleteFails", m_bDeleteFails);
    SaveBool(profile, "m_bDecodeReplies", m_bDecodeReplies);
    SaveBool(profile, "m_bDecodeNoSubject", m_bDecodeNoSubject);
    SaveBool(profile, "m_bDecodeNoPartID", m_bDecodeNoPartID);
    SaveBool(profile, "m_bDecodeNoLines", m_bDecodeNoLines);
    SaveBool(profile, "m_bCheckVer", m_bCheckVer);
    SaveBool(profile, "m_bBackupNewsrc", m_bBackupNewsrc);
    SaveBool(profile, "m_bGroupDirs", m_bGroupDirs);
    SaveBool(profile, "m_bAutoExit", m_bAutoExit);
    SaveBool(profile, "m_bAutoStart", m_bAutoStart);
    SaveBool(profile, "m_bLog", m_bLog);
    profile.WriteProfileInt(CSettings::kSection, "m_uMinLines", m_uMinLines);
    profile.WriteProfileInt(CSettings::kSection, "m_uMaxLines", m_uMaxLines);
    profile.WriteProfileString(CSettings::kSection, "m_DecodeDir", m_DecodeDir);
}

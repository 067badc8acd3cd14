#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class CProfile;

// The user's options, stored in section "Settings" under the names of the members.
struct CSettings {
    // Also the section of the window's layout values and of the program's other flags.
    static constexpr std::string_view kSection = "Settings";

    bool m_bDeleteFails = true;
    bool m_bDecodeReplies = false;
    bool m_bDecodeNoSubject = false;
    bool m_bDecodeNoPartID = true;
    bool m_bDecodeNoLines = false;
    bool m_bCheckVer = false;
    bool m_bBackupNewsrc = true;
    bool m_bGroupDirs = false;
    bool m_bAutoExit = false;
    bool m_bAutoStart = false;
    bool m_bLog = false;
    uint32_t m_uMinLines = 500;
    uint32_t m_uMaxLines = 4294967295u;
    std::string m_DecodeDir; // ends in '/'; default: program folder + "Decodes/"

    CSettings(); // sets m_DecodeDir's default
    // Reads every value with the member's current value as its default; booleans read
    // any non-zero number as on.
    void Load(const CProfile& profile);
    // Writes every value in the order above, booleans as 0 or 1.
    void Save(CProfile& profile) const;
};

#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class CProfile;

// The user's options, stored in section "Settings" under the names of the members. The names,
// the members and their defaults are declared once, in a table that Load and Save both walk.
struct CSettings {
    // Also the section of the window's layout values and of the program's other flags.
    static constexpr std::string_view kSection = "Settings";

    bool m_bDeleteFails;
    bool m_bDecodeReplies;
    bool m_bDecodeNoSubject;
    bool m_bDecodeNoPartID;
    bool m_bDecodeNoLines;
    bool m_bCheckVer;
    bool m_bBackupNewsrc;
    bool m_bGroupDirs;
    bool m_bAutoExit;
    bool m_bAutoStart;
    bool m_bLog;
    uint32_t m_uMinLines;
    uint32_t m_uMaxLines;
    std::string m_DecodeDir; // ends in '/'; default: program folder + "Decodes/"

    CSettings(); // every member at its default
    // Reads every value with the member's current value as its default; booleans read
    // any non-zero number as on.
    void Load(const CProfile& profile);
    // Writes every value in the order of the members above, booleans as 0 or 1.
    void Save(CProfile& profile) const;
};

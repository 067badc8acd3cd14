#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class CHive;

// Integer and string values by section and value name under the application key
// "Software\Hollowfen\Gleanwick" of the hive (the framework's profile functions).
// Sections may name nested keys ("Servers\news.example.com").
class CProfile {
  public:
    static constexpr std::string_view kApplicationKey = "Software\\Hollowfen\\Gleanwick";

    explicit CProfile(CHive& hive) : m_hive(hive) {}

    // Absent values, and values of another type, read as the default.
    uint32_t GetProfileInt(std::string_view section, std::string_view entry, uint32_t def) const;
    std::string GetProfileString(std::string_view section, std::string_view entry,
                                 std::string_view def = {}) const;
    // Writing creates the section's key when needed. Changes reach the disk at the
    // next save point (CHive::Save).
    void WriteProfileInt(std::string_view section, std::string_view entry, uint32_t value);
    void WriteProfileString(std::string_view section, std::string_view entry,
                            std::string_view value);

    CHive& Hive() const { return m_hive; }

  private:
    CHive& m_hive;
};

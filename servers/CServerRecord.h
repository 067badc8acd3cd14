#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CHive;
class CProfile;

// The registry record of one news server, key "Servers\<name>" under the application
// key. Nothing is cached: every read goes to the profile, so a change made in the
// Servers dialog takes effect at the next use.
class CServerRecord {
  public:
    static constexpr uint32_t kDefaultPort = 119;
    static constexpr uint32_t kDefaultTimeout = 30000;

    // The values the Servers dialog edits, written in this member order.
    struct Settings {
        bool bLoginRequired = false;
        std::string strUser;
        std::string strPassword;
        uint32_t uPort = kDefaultPort;
        uint32_t uTimeout = kDefaultTimeout;
    };

    CServerRecord(CProfile& profile, std::string name);

    const std::string& Name() const { return m_strName; }
    std::string Section() const;

    uint32_t GetPort() const;
    uint32_t GetTimeout() const;
    bool GetLoginRequired() const;
    std::string GetLoginUser() const;
    std::string GetLoginPassword() const;
    Settings Read() const;
    // Creates the key when it is missing.
    void Write(const Settings& settings);

    // The .newsrc path; the first call stores the default (program folder + name +
    // ".newsrc") as "NEWSRC File", so the file stays put if the program moves.
    std::string GetNewsrcPath();

    std::string GetLastUpdate() const;
    // The current local time as "%y%m%d %H%M%S".
    void WriteLastUpdate();

    // Whether `name` can name a server: not empty, and nothing that would change the
    // shape of the key path or of the default .newsrc path ("\\", "/", control bytes,
    // "." and "..").
    static bool IsValidName(const std::string& name);
    // Server names in enumeration order; none when the Servers key is missing.
    static std::vector<std::string> Enumerate(const CHive& hive);
    // Deletes the server's key with all its values.
    static void Remove(CHive& hive, const std::string& name);

  private:
    CProfile& m_profile;
    std::string m_strName;
};

#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

// A private GLEANWICK_HOME for one test: made empty, set in the environment, removed (and the
// old value restored) afterwards.
class TestHome {
  public:
    TestHome() {
        const char* old = std::getenv("GLEANWICK_HOME");
        m_hadOld = old != nullptr;
        if (m_hadOld)
            m_old = old;
        std::string pattern =
            (std::filesystem::temp_directory_path() / "gleanwick-app-XXXXXX").string();
        m_path = ::mkdtemp(pattern.data());
        m_path += '/';
        ::setenv("GLEANWICK_HOME", m_path.c_str(), 1);
    }
    ~TestHome() {
        if (m_hadOld)
            ::setenv("GLEANWICK_HOME", m_old.c_str(), 1);
        else
            ::unsetenv("GLEANWICK_HOME");
        std::error_code error;
        std::filesystem::remove_all(m_path, error);
    }
    TestHome(const TestHome&) = delete;
    TestHome& operator=(const TestHome&) = delete;

    // Paths inside the home folder, which ends in '/'.
    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + name; }

    void Write(const std::string& name, const std::string& text) const {
        std::ofstream(m_path + name, std::ios::binary) << text;
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(m_path + name, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    bool Exists(const std::string& name) const { return std::filesystem::exists(m_path + name); }

  private:
    std::string m_path;
    std::string m_old;
    bool m_hadOld = false;
};

// A hive file with the given news servers and rows of the "Settings" key (.reg syntax).
inline std::string HiveText(const std::vector<std::string>& servers,
                            const std::string& settings = {}) {
    std::string text = "Windows Registry Editor Version 5.00\n\n";
    for (const std::string& server : servers)
        text += "[HKEY_CURRENT_USER\\Software\\Hollowfen\\Gleanwick\\Servers\\" + server +
                "]\n\"Port\"=dword:00000077\n\n";
    text += "[HKEY_CURRENT_USER\\Software\\Hollowfen\\Gleanwick\\Settings]\n" + settings + "\n";
    return text;
}

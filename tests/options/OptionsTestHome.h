#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/CHive.h"
#include "platform/CProfile.h"

// A fresh program folder ($GLEANWICK_HOME) with an empty hive and profile, removed
// with its contents at the end of the test.
class OptionsTestHome {
  public:
    OptionsTestHome() {
        std::string pattern = (std::filesystem::temp_directory_path() / "gwopt-XXXXXX").string();
        m_path = mkdtemp(pattern.data());
        m_path += '/';
        setenv("GLEANWICK_HOME", m_path.c_str(), 1);
    }
    ~OptionsTestHome() {
        unsetenv("GLEANWICK_HOME");
        std::error_code error;
        std::filesystem::remove_all(m_path, error);
    }
    OptionsTestHome(const OptionsTestHome&) = delete;
    OptionsTestHome& operator=(const OptionsTestHome&) = delete;

    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + name; }

    CHive hive;
    CProfile profile{hive};

  private:
    std::string m_path;
};

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

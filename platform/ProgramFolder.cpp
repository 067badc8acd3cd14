#include "platform/ProgramFolder.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace {

std::string WithSlash(std::string path) {
    if (path.empty() || path.back() != '/') {
        path += '/';
    }
    return path;
}

std::string EnvOr(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return (value != nullptr && *value != '\0') ? std::string(value) : fallback;
}

std::string Home() {
    return EnvOr("HOME", ".");
}

std::string GleanwickHome() {
    return EnvOr("GLEANWICK_HOME", "");
}

} // namespace

std::string ProgramFolder() {
    std::string folder = GleanwickHome();
    if (folder.empty()) {
        folder =
            WithSlash(EnvOr("XDG_DATA_HOME", WithSlash(Home()) + ".local/share")) + "Gleanwick";
    }
    folder = WithSlash(folder);
    std::error_code error;
    std::filesystem::create_directories(folder, error); // a failure shows at the first file use
    return folder;
}

std::string HiveFilePath() {
    const std::string home = GleanwickHome();
    if (!home.empty()) {
        return WithSlash(home) + "HKCU.reg";
    }
    return WithSlash(EnvOr("XDG_CONFIG_HOME", WithSlash(Home()) + ".config")) +
           "Hollowfen/HKCU.reg";
}

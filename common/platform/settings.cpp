#include "common/platform/settings.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace zelt::settings {

namespace {

std::string readLine(const std::string& file, std::string_view key) {
    const std::string prefix = std::string(key) + "=";
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind(prefix, 0) == 0) {
            std::string value = line.substr(prefix.size());
            if (value.size() > 255) value.resize(255);
            return value;
        }
    }
    return "";
}

}  // namespace

std::string machineSetting(const char* envName, const std::string& defaultFile,
                           std::string_view key) {
    if (const char* named = std::getenv(envName); named != nullptr && *named != '\0') {
        if (std::string value = readLine(named, key); !value.empty()) return value;
    }
    return readLine(defaultFile, key);
}

std::string machineDataDirectory(const char* envName, const std::string& defaultFile) {
    std::string value = machineSetting(envName, defaultFile, "path");
    if (value.size() > 1 && value.back() == '/') value.pop_back();
    return value;
}

std::string documentsFolder() {
    if (const char* xdg = std::getenv("XDG_DOCUMENTS_DIR"); xdg != nullptr && *xdg != '\0') {
        return xdg;
    }
    if (FILE* pipe = ::popen("xdg-user-dir DOCUMENTS 2>/dev/null", "r")) {
        char buffer[512] = {};
        const bool got = std::fgets(buffer, sizeof buffer, pipe) != nullptr;
        ::pclose(pipe);
        std::string value = got ? buffer : "";
        while (!value.empty() && (value.back() == '\n' || value.back() == '\r')) value.pop_back();
        const char* home = std::getenv("HOME");
        // xdg-user-dir answers the home folder itself when no documents folder is configured.
        if (!value.empty() && (home == nullptr || value != home)) return value;
    }
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        return std::string(home) + "/Documents";
    }
    return "";
}

}  // namespace zelt::settings

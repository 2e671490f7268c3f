#include "TemporaryRoot.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace testsupport {

std::string TemporaryRoot::WindowsPath(const std::string& name) const {
    return (std::filesystem::path(windowsDirectory_) / name).string();
}

std::string TemporaryRoot::TempPath(const std::string& name) const {
    return (std::filesystem::path(tempDirectory_) / name).string();
}

void TemporaryRoot::WriteSettings(const std::string& iniText) const {
    std::ofstream(WindowsPath("Inkora.ini"), std::ios::binary) << iniText;
}

std::string TemporaryRoot::ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

}  // namespace testsupport

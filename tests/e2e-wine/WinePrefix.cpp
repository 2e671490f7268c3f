#include "WinePrefix.h"

#include "LogLines.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace testsupport {

double ChildCpuMs(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    const std::string text((std::istreambuf_iterator<char>(stat)), {});
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    for (int i = 3; i < 14; ++i) {  // up to utime, field 14
        fields >> field;
    }
    double userTicks = 0;
    double systemTicks = 0;
    fields >> userTicks >> systemTicks;
    return (userTicks + systemTicks) * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

WinePrefix::WinePrefix(const std::string& path) : path_(path) {
    if (path_.empty()) {
        throw std::runtime_error("WINEPREFIX names no prefix (scripts/wine-prefix.sh makes one)");
    }
    std::filesystem::create_directories(TempPath(""));
    std::filesystem::remove(WindowsPath("Inkora.ini"));
    std::filesystem::remove(TempPath("tessel.log"));
}

WinePrefix::~WinePrefix() {
    std::error_code ignored;
    std::filesystem::remove(WindowsPath("Inkora.ini"), ignored);
    std::filesystem::remove(TempPath("tessel.log"), ignored);
    if (!mappedPort_.empty()) {
        std::filesystem::remove(mappedPort_, ignored);
    }
}

std::string WinePrefix::WindowsPath(const std::string& name) const {
    return path_ + "/drive_c/windows/" + name;
}

std::string WinePrefix::TempPath(const std::string& name) const {
    return path_ + "/drive_c/temp/" + name;
}

void WinePrefix::WriteSettings(const std::string& iniText) const {
    std::ofstream(WindowsPath("Inkora.ini"), std::ios::binary) << iniText;
}

std::vector<std::string> WinePrefix::LogMessages() const {
    std::ifstream file(TempPath("tessel.log"), std::ios::binary);
    return testsupport::LogMessages(std::string(std::istreambuf_iterator<char>(file), {}));
}

bool WinePrefix::LogHas(const std::string& line) const {
    const std::vector<std::string> log = LogMessages();
    return std::find(log.begin(), log.end(), line) != log.end();
}

void WinePrefix::MapComPort(int n, const std::string& device) {
    mappedPort_ = path_ + "/dosdevices/com" + std::to_string(n);
    std::error_code ignored;
    std::filesystem::remove(mappedPort_, ignored);
    std::filesystem::create_symlink(device, mappedPort_);
}

std::unique_ptr<HostSession> WinePrefix::StartHost() const {
    return std::make_unique<HostSession>(
        std::vector<std::string>{WINE_PROGRAM, WIN32_HOST_BINARY},
        ChildProcess::Environment{{"WINEPREFIX", path_}, {"WINEDEBUG", "-all,warn+debugstr"}});
}

}  // namespace testsupport

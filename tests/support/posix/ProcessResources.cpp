#include "ProcessResources.h"

#include "ProcEntries.h"

#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

namespace testsupport {
namespace {

long StatusValue(const std::string& statusPath, const std::string& key) {
    std::ifstream status(statusPath);
    std::string word;
    while (status >> word) {
        if (word == key) {
            long value = -1;
            status >> value;
            return value;
        }
    }
    return -1;
}

}  // namespace

ProcessResources ResourcesOf(pid_t pid) {
    const std::string folder = "/proc/" + std::to_string(pid);
    return {static_cast<long>(ProcEntries(folder + "/fd").size()),
            static_cast<long>(ProcEntries(folder + "/task").size()),
            StatusValue(folder + "/status", "VmRSS:")};
}

double CpuMsOf(pid_t pid) {
    std::ifstream statFile("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(statFile)), std::istreambuf_iterator<char>());
    // The command name in parentheses may hold blanks: the fields are counted after it.
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    for (int skipped = 0; skipped < 11; ++skipped) {  // state .. cmajflt (fields 3 to 13)
        fields >> field;
    }
    double userTicks = 0;
    double systemTicks = 0;
    fields >> userTicks >> systemTicks;
    return (userTicks + systemTicks) * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

}  // namespace testsupport

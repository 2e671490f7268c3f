#include "ProcessActivity.h"

#include "TaskSwitches.h"

#include <dirent.h>

#include <fstream>
#include <string>

namespace probe {
namespace {

double CpuNsOfTask(const std::string& task) {
    std::ifstream schedstat(task + "/schedstat");
    double onCpu = 0;
    schedstat >> onCpu;
    return onCpu;
}

}  // namespace

Activity ActivityOf(pid_t pid) {
    Activity activity;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR* directory = opendir(tasks.c_str());
    if (directory == nullptr) {
        return activity;
    }
    while (const dirent* entry = readdir(directory)) {
        if (entry->d_name[0] == '.') {
            continue;
        }
        const std::string task = tasks + "/" + entry->d_name;
        activity.cpuNs += CpuNsOfTask(task);
        activity.switches += testsupport::ContextSwitchesOfTask(task);
    }
    closedir(directory);
    return activity;
}

}  // namespace probe

#include "ProcessActivity.h"

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

long SwitchesOfTask(const std::string& task) {
    std::ifstream status(task + "/status");
    long total = 0;
    std::string key;
    while (status >> key) {
        if (key == "voluntary_ctxt_switches:" || key == "nonvoluntary_ctxt_switches:") {
            long count = 0;
            status >> count;
            total += count;
        }
    }
    return total;
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
        activity.switches += SwitchesOfTask(task);
    }
    closedir(directory);
    return activity;
}

}  // namespace probe

#include "ProcessActivity.h"

#include "ProcEntries.h"
#include "TaskSwitches.h"

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
    for (const std::string& name : testsupport::ProcEntries(tasks)) {
        const std::string task = tasks + "/" + name;
        activity.cpuNs += CpuNsOfTask(task);
        activity.switches += testsupport::ContextSwitchesOfTask(task);
    }
    return activity;
}

}  // namespace probe

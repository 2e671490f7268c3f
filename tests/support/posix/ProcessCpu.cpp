#include "ProcessCpu.h"

#include "ProcEntries.h"
#include "TaskSwitches.h"

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace testsupport {
namespace {

std::map<std::string, long> ContextSwitchesByThread() {
    std::map<std::string, long> switches;
    for (const std::string& task : ProcEntries("/proc/self/task")) {
        switches[task] = ContextSwitchesOfTask("/proc/self/task/" + task);
    }
    return switches;
}

}  // namespace

double ProcessCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

std::set<std::string> ThreadsOfProcess() {
    const std::vector<std::string> tasks = ProcEntries("/proc/self/task");
    return {tasks.begin(), tasks.end()};
}

long MostContextSwitchesOfOneThread(const std::set<std::string>& leftOut,
                                    const std::function<void()>& action) {
    const std::map<std::string, long> before = ContextSwitchesByThread();
    action();
    long most = 0;
    for (const auto& [task, count] : ContextSwitchesByThread()) {
        if (leftOut.count(task) == 0) {
            const auto earlier = before.find(task);
            most = std::max(most, count - (earlier == before.end() ? 0 : earlier->second));
        }
    }
    return most;
}

long CurrentTaskId() {
    return static_cast<long>(gettid());
}

long ContextSwitchesOfThread(long task, const std::function<void()>& action) {
    const std::string folder = "/proc/self/task/" + std::to_string(task);
    const long before = ContextSwitchesOfTask(folder);
    action();
    return ContextSwitchesOfTask(folder) - before;
}

}  // namespace testsupport

#pragma once

#include <fstream>
#include <string>

namespace testsupport {

// How often a thread was switched in so far (voluntary and involuntary switches), from the
// status file of its /proc task folder.
inline long ContextSwitchesOfTask(const std::string& taskFolder) {
    std::ifstream status(taskFolder + "/status");
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

}  // namespace testsupport

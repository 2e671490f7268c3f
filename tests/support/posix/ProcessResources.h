#pragma once

#include <sys/types.h>

namespace testsupport {

// What another process holds at one moment, read from its /proc folder.
struct ProcessResources {
    long descriptors = 0;  // open file descriptors
    long threads = 0;      // tasks, the main thread included
    long residentKiB = 0;  // VmRSS
};

ProcessResources ResourcesOf(pid_t pid);

// Processor time (user and system) that another process has used so far, in milliseconds.
double CpuMsOf(pid_t pid);

}  // namespace testsupport

#pragma once

#include <sys/types.h>

namespace probe {

// What the threads of a process have done so far: processor time, and how often they were
// switched in (each wake-up of a blocked thread is one switch).
struct Activity {
    double cpuNs = 0;
    long switches = 0;
};

// Sums the figures of every thread of the process, from /proc (nanosecond processor time from
// schedstat, which rusage's tick-based figures cannot give over a few seconds).
Activity ActivityOf(pid_t pid);

}  // namespace probe

#pragma once

#include <functional>
#include <set>
#include <string>

namespace testsupport {

// Processor time this process has used so far, in milliseconds, for tests that check an idle
// or failing reader does not spin.
double ProcessCpuMs();

// The kernel ids of this process's threads now.
std::set<std::string> ThreadsOfProcess();

// The most context switches any one thread of this process that is not among `leftOut` made
// while `action` ran, for tests that check an idle thread stays blocked instead of waking again
// and again. Threads that were there before the code under test started (the test runner's, a
// sanitizer's) are left out: a busy machine switches them more often.
long MostContextSwitchesOfOneThread(const std::set<std::string>& leftOut,
                                    const std::function<void()>& action);

// The kernel's id of the calling thread: its folder in /proc/self/task.
long CurrentTaskId();

// The context switches the thread with kernel id `task` made while `action` ran.
long ContextSwitchesOfThread(long task, const std::function<void()>& action);

}  // namespace testsupport

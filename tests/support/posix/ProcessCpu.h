#pragma once

#include <functional>

namespace testsupport {

// Processor time this process has used so far, in milliseconds, for tests that check an idle
// or failing reader does not spin.
double ProcessCpuMs();

// The most context switches any one thread of this process made while `action` ran, for tests
// that check an idle thread stays blocked instead of waking again and again.
long MostContextSwitchesOfOneThread(const std::function<void()>& action);

// The kernel's id of the calling thread: its folder in /proc/self/task.
long CurrentTaskId();

// The context switches the thread with kernel id `task` made while `action` ran.
long ContextSwitchesOfThread(long task, const std::function<void()>& action);

}  // namespace testsupport

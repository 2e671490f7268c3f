#pragma once

namespace platform {

// Runs `beforeEnd` when the process is asked from outside to terminate (on POSIX SIGTERM,
// SIGINT or SIGHUP, unless ignored or blocked when the process started, and never in the first
// process of a PID namespace, where such a signal does not end a process; on Windows a console
// interrupt, close, logoff or shutdown), then ends the process as the request would have without
// it, running no destructor and no exit handler while other threads run. `beforeEnd` runs on a
// thread of the platform's and must return soon. Call it before the process starts a thread of
// its own. False when it cannot be arranged: requests then end the process as before.
bool HandleTerminationRequests(void (*beforeEnd)());

}  // namespace platform

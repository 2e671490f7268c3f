#pragma once

namespace platform {

// Runs `beforeEnd` when the process is asked from outside to terminate (on POSIX SIGTERM,
// SIGINT or SIGHUP, unless ignored; on Windows a console interrupt, close, logoff or shutdown),
// then lets the request end the process as it would have without it. `beforeEnd` runs on a
// thread of the platform's and must return soon. Call it before the process starts a thread of
// its own. False when it cannot be arranged: requests then end the process as before.
bool HandleTerminationRequests(void (*beforeEnd)());

}  // namespace platform

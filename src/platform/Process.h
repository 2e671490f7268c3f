#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Counts the running processes whose executable is named programName (ASCII case ignored) and
// that belong to the caller's own logon session (Windows) or user (POSIX): people signed on at one
// machine, each with a pad of their own, do not count each other's hosts. The program name has
// no extension; the platform adds its own (".exe" on Windows). Returns 0 when the process list
// cannot be read.
int CountOwnProcessesNamed(const std::string& programName);

// A lock held for the life of the process, by name, for the caller's logon session (Windows: a
// mutex without the Global\ prefix) or user (POSIX: a lock file of the user's own).
class NamedInstanceLock {
public:
    enum class Outcome { Acquired, AlreadyHeld, Failed };

    explicit NamedInstanceLock(const std::string& name);
    ~NamedInstanceLock();
    NamedInstanceLock(const NamedInstanceLock&) = delete;
    NamedInstanceLock& operator=(const NamedInstanceLock&) = delete;

    Outcome outcome() const { return outcome_; }
    // Gives the lock back (closing the handle ends the hold).
    void Close();

private:
    Outcome outcome_ = Outcome::Failed;
    intptr_t handle_ = -1;
};

// The per-process set-up the host needs before it serves the browser: on POSIX, SIGPIPE is
// ignored so that a browser that has gone away cannot kill the host. False on failure.
bool InitialiseProcess();

// Ends the process at once with the given exit code, whatever threads are still running. The
// standard streams are not flushed: every frame and trace line has been flushed as it was
// written, and a flush would wait for a thread whose write blocks on a reader that has stopped
// reading.
[[noreturn]] void EndProcess(int exitCode);

}  // namespace platform

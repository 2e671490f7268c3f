#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace nmclient {

// The host as a child process: its standard input and output are pipes to us, its standard
// error is ours or a file. It runs in a process group of its own, so that a Ctrl-C meant for
// nmclient does not reach it. The destructor kills it if it still runs.
class HostProcess {
public:
    HostProcess() = default;
    ~HostProcess();
    HostProcess(const HostProcess&) = delete;
    HostProcess& operator=(const HostProcess&) = delete;

    // Starts `binary`; false with `error` set when it cannot be run.
    bool Start(const std::string& binary, const std::string& stderrFile, std::string& error);
    // Writes all of `bytes` to the host's input; false when the host no longer reads.
    bool Write(std::string_view bytes);
    void CloseInput();
    // Our end of the host's output, non-blocking.
    int outputFd() const { return outputFd_; }
    struct Outcome {
        bool ended = false;
        std::optional<int> exitCode;  // nothing when killed by a signal or still running
        std::string how;              // "exited with code 0", "was killed by signal 9", ...
        // What the host used over its life, once it has ended.
        double userSeconds = 0;
        double systemSeconds = 0;
        long peakResidentKiB = 0;
    };
    // Waits up to `timeout` for the host to end.
    Outcome Wait(std::chrono::milliseconds timeout);
    void Kill();

private:
    pid_t pid_ = -1;
    int inputFd_ = -1;
    int outputFd_ = -1;
    bool ended_ = false;
};

// The host built beside this executable.
std::string DefaultHostBinary();

}  // namespace nmclient

#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace testsupport {

using namespace std::chrono_literals;
using Milliseconds = std::chrono::milliseconds;

// A program started with pipes on its standard input and output; its standard error goes to a
// file that the test can read at any time. The destructor kills it if it still runs.
class ChildProcess {
public:
    using Environment = std::vector<std::pair<std::string, std::string>>;
    // Runs in the child just before it starts the program: only async-signal-safe calls.
    using ChildSetUp = void (*)();

    ChildProcess(const std::vector<std::string>& argv, const Environment& extraEnvironment = {},
                 ChildSetUp setUp = nullptr);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }
    bool Write(std::string_view bytes);
    void CloseInput();
    // Closes our end of the child's standard output, so that its writes meet a broken pipe.
    void CloseOutput();
    // Up to n bytes of standard output, waiting at most timeout; fewer when the output ends or
    // the time runs out.
    std::string Read(size_t n, Milliseconds timeout);
    // True when the standard output ends (all writers closed) within the timeout, after
    // discarding anything still unread into `rest`.
    bool OutputEnds(Milliseconds timeout, std::string* rest = nullptr);
    // The exit code, or nothing if the child has not ended within the timeout. A child ended by
    // a signal yields 128 + the signal number.
    std::optional<int> WaitForExit(Milliseconds timeout);
    bool Running();
    void Signal(int signalNumber);
    std::string ErrorOutput() const;
    // Whether the standard error output comes to hold `text` within the timeout.
    bool WaitForErrorOutput(const std::string& text, Milliseconds timeout = 5000ms) const;

private:
    pid_t pid_ = -1;
    int inputFd_ = -1;
    int outputFd_ = -1;
    std::string errorPath_;
    std::optional<int> exitCode_;
};

}  // namespace testsupport

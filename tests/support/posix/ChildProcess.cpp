#include "ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace testsupport {
namespace {

int RemainingMs(std::chrono::steady_clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<Milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const Environment& extraEnvironment, ChildSetUp setUp) {
    // A child that has died must fail the test's writes, not end the test with SIGPIPE.
    signal(SIGPIPE, SIG_IGN);
    int toChild[2];
    int fromChild[2];
    if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    char errorTemplate[] = "/tmp/child-stderr-XXXXXX";
    const int errorFd = mkostemp(errorTemplate, O_CLOEXEC);  // the child keeps only its fd 2
    if (errorFd < 0) {
        throw std::runtime_error("mkostemp failed");
    }
    errorPath_ = errorTemplate;

    pid_ = fork();
    if (pid_ < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid_ == 0) {
        dup2(toChild[0], 0);
        dup2(fromChild[1], 1);
        dup2(errorFd, 2);
        for (const auto& [name, value] : extraEnvironment) {
            setenv(name.c_str(), value.c_str(), 1);
        }
        std::vector<char*> args;
        for (const std::string& arg : argv) {
            args.push_back(const_cast<char*>(arg.c_str()));
        }
        args.push_back(nullptr);
        signal(SIGPIPE, SIG_DFL);
        if (setUp != nullptr) {
            setUp();
        }
        execv(args[0], args.data());
        _exit(127);
    }
    close(toChild[0]);
    close(fromChild[1]);
    close(errorFd);
    inputFd_ = toChild[1];
    outputFd_ = fromChild[0];
}

ChildProcess::~ChildProcess() {
    if (!exitCode_ && pid_ > 0) {
        kill(pid_, SIGKILL);
        WaitForExit(5000ms);
    }
    CloseInput();
    CloseOutput();
    unlink(errorPath_.c_str());
}

bool ChildProcess::Write(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = write(inputFd_, bytes.data(), bytes.size());
        if (n <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

void ChildProcess::CloseInput() {
    if (inputFd_ >= 0) {
        close(inputFd_);
        inputFd_ = -1;
    }
}

void ChildProcess::CloseOutput() {
    if (outputFd_ >= 0) {
        close(outputFd_);
        outputFd_ = -1;
    }
}

std::string ChildProcess::Read(size_t n, Milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string data;
    while (data.size() < n) {
        pollfd pfd{outputFd_, POLLIN, 0};
        if (poll(&pfd, 1, RemainingMs(deadline)) <= 0) {
            break;
        }
        char buffer[4096];
        const size_t want = std::min(sizeof buffer, n - data.size());
        const ssize_t got = read(outputFd_, buffer, want);
        if (got <= 0) {
            break;
        }
        data.append(buffer, static_cast<size_t>(got));
    }
    return data;
}

bool ChildProcess::OutputEnds(Milliseconds timeout, std::string* rest) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        pollfd pfd{outputFd_, POLLIN, 0};
        if (poll(&pfd, 1, RemainingMs(deadline)) <= 0) {
            return false;
        }
        char buffer[4096];
        const ssize_t got = read(outputFd_, buffer, sizeof buffer);
        if (got <= 0) {
            return true;
        }
        if (rest != nullptr) {
            rest->append(buffer, static_cast<size_t>(got));
        }
    }
}

std::optional<int> ChildProcess::WaitForExit(Milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!exitCode_) {
        int status = 0;
        const pid_t r = waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            break;
        }
        std::this_thread::sleep_for(5ms);
    }
    return exitCode_;
}

bool ChildProcess::Running() {
    return !WaitForExit(0ms).has_value();
}

void ChildProcess::Signal(int signalNumber) {
    if (!exitCode_) {
        kill(pid_, signalNumber);
    }
}

std::string ChildProcess::ErrorOutput() const {
    std::ifstream file(errorPath_, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

bool ChildProcess::WaitForErrorOutput(const std::string& text, Milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (ErrorOutput().find(text) == std::string::npos) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

}  // namespace testsupport

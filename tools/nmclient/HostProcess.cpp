#include "nmclient/HostProcess.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

namespace nmclient {
namespace {

constexpr const char* kHostName = "Lumarq.OrvaneSignExtension";

struct Pipe {
    int read = -1;
    int write = -1;
};

bool MakePipe(Pipe& p) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        return false;
    }
    p = {fds[0], fds[1]};
    return true;
}

void CloseFd(int& fd) {
    if (fd >= 0) {
        close(fd);
        fd = -1;
    }
}

// In the child: wire the pipes and run the host; reports a failed exec through `status`.
[[noreturn]] void RunChild(const std::string& binary, const std::string& stderrFile,
                           const Pipe& input, const Pipe& output, int status) {
    setpgid(0, 0);
    dup2(input.read, STDIN_FILENO);
    dup2(output.write, STDOUT_FILENO);
    if (!stderrFile.empty()) {
        const int fd = open(stderrFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd >= 0) {
            dup2(fd, STDERR_FILENO);
        }
    }
    signal(SIGPIPE, SIG_DFL);
    char* const argv[] = {const_cast<char*>(binary.c_str()), nullptr};
    execv(binary.c_str(), argv);
    const int code = errno;
    [[maybe_unused]] const ssize_t n = write(status, &code, sizeof code);
    _exit(127);
}

std::string DescribeStatus(int status) {
    if (WIFEXITED(status)) {
        return "exited with code " + std::to_string(WEXITSTATUS(status));
    }
    return "was killed by signal " + std::to_string(WTERMSIG(status));
}

}  // namespace

HostProcess::~HostProcess() {
    CloseInput();
    CloseFd(outputFd_);
    if (pid_ > 0 && !ended_) {
        Kill();
    }
}

bool HostProcess::Start(const std::string& binary, const std::string& stderrFile,
                        std::string& error) {
    Pipe input, output, status;
    if (!MakePipe(input) || !MakePipe(output) || !MakePipe(status)) {
        error = std::strerror(errno);
        return false;
    }
    pid_ = fork();
    if (pid_ == 0) {
        RunChild(binary, stderrFile, input, output, status.write);
    }
    const int forkError = errno;
    CloseFd(input.read);
    CloseFd(output.write);
    CloseFd(status.write);
    inputFd_ = input.write;
    outputFd_ = output.read;
    int execError = 0;
    const ssize_t n = pid_ > 0 ? read(status.read, &execError, sizeof execError) : 0;
    CloseFd(status.read);
    if (pid_ < 0 || n > 0) {
        error = binary + ": " + std::strerror(pid_ < 0 ? forkError : execError);
        Wait(std::chrono::milliseconds(1000));
        return false;
    }
    fcntl(outputFd_, F_SETFL, fcntl(outputFd_, F_GETFL) | O_NONBLOCK);
    return true;
}

bool HostProcess::Write(std::string_view bytes) {
    while (!bytes.empty() && inputFd_ >= 0) {
        const ssize_t n = write(inputFd_, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return bytes.empty();
}

void HostProcess::CloseInput() {
    CloseFd(inputFd_);
}

HostProcess::Outcome HostProcess::Wait(std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        rusage usage{};
        const pid_t done = pid_ > 0 ? wait4(pid_, &status, WNOHANG, &usage) : -1;
        if (done == pid_) {
            ended_ = true;
            const auto code =
                WIFEXITED(status) ? std::optional<int>(WEXITSTATUS(status)) : std::nullopt;
            const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
            return {true,
                    code,
                    DescribeStatus(status),
                    seconds(usage.ru_utime),
                    seconds(usage.ru_stime),
                    usage.ru_maxrss};
        }
        if (done < 0 || std::chrono::steady_clock::now() >= end) {
            return {false, std::nullopt, "did not end"};
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void HostProcess::Kill() {
    if (pid_ > 0 && !ended_) {
        kill(pid_, SIGKILL);
        Wait(std::chrono::milliseconds(5000));
    }
}

std::string DefaultHostBinary() {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) {
        return kHostName;
    }
    std::string self(path, static_cast<size_t>(n));
    const size_t slash = self.rfind('/');
    return (slash == std::string::npos ? std::string(".") : self.substr(0, slash)) + "/" +
           kHostName;
}

}  // namespace nmclient

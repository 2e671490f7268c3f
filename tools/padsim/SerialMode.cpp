#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>

#include "padsim/Channel.h"
#include "padsim/Modes.h"
#include "padsim/Runtime.h"

namespace padsim {
namespace {

using std::chrono::milliseconds;

bool MakeRaw(int fd) {
    termios settings{};
    if (tcgetattr(fd, &settings) != 0) {
        return false;
    }
    cfmakeraw(&settings);
    return tcsetattr(fd, TCSANOW, &settings) == 0;
}

// A new pseudo-terminal: our end, and the path of the end the host opens.
int OpenPseudoTerminal(std::string& path) {
    const int fd = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    const char* name = nullptr;
    if (grantpt(fd) != 0 || unlockpt(fd) != 0 || (name = ptsname(fd)) == nullptr) {
        close(fd);
        return -1;
    }
    path = name;
    return fd;
}

int OpenLine(const Options& options, std::string& path) {
    if (options.tty.empty()) {
        return OpenPseudoTerminal(path);
    }
    path = options.tty;
    return open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
}

// Tells scripts where the host finds the line: the path, then the prefix and number that the
// settings file takes as TabletPortPath and TabletComPort.
void AnnounceLine(const std::string& path) {
    size_t digits = path.size();
    while (digits > 0 && path[digits - 1] >= '0' && path[digits - 1] <= '9') {
        --digits;
    }
    std::printf("%s\n", path.c_str());
    if (digits < path.size()) {
        std::printf("prefix=%s number=%s\n", path.substr(0, digits).c_str(),
                    path.substr(digits).c_str());
    }
    std::fflush(stdout);
    Log("serial line ready at " + path);
}

// While nobody holds the other end of a pseudo-terminal, ours reports a hang-up.
bool HostHasLine(int fd) {
    pollfd entry{fd, POLLIN, 0};
    return poll(&entry, 1, 0) >= 0 && !(entry.revents & POLLHUP);
}

void WaitForReopen(int fd, const RunDeadline& deadline) {
    while (!StopRequested() && !deadline.passed() && !HostHasLine(fd)) {
        Nap(milliseconds(10), deadline);
    }
}

}  // namespace

int RunSerial(const Options& options, Playback& playback) {
    const RunDeadline deadline(options.timeLimitSeconds);
    std::string path;
    const ScopedFd line(OpenLine(options, path));
    if (line.get() < 0 || !MakeRaw(line.get())) {
        Log("cannot set up the serial line " + path + ": " + SystemError());
        return kExitFailure;
    }
    AnnounceLine(path);
    SessionConfig config = BaseSessionConfig(options);
    config.inbound = Inbound::kRawBytes;
    config.outbound = Outbound::kStreamPackets;
    config.answersRequests = !options.silent;
    bool hostSeen = false;
    while (!StopRequested() && !deadline.passed()) {
        Channel channel(line.get(), false, true, 0);
        Session session(config, playback, Log);
        const SessionEnd end = RunSession(channel, session, deadline);
        hostSeen = hostSeen || end == SessionEnd::kHostClosed || session.requestsSeen() > 0;
        if (FinishSession(end, session, options)) {
            // Without a hang-up or a request, nothing shows that a host ever used the line.
            return end == SessionEnd::kHostClosed
                       ? kExitNormal
                       : ExitCodeAfterRun(hostSeen, options, "no host used the serial line");
        }
        WaitForReopen(line.get(), deadline);
    }
    return ExitCodeAfterRun(hostSeen, options, "no host used the serial line");
}

}  // namespace padsim

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "padsim/Channel.h"
#include "padsim/Modes.h"
#include "padsim/PacketEncoder.h"
#include "padsim/Runtime.h"

namespace padsim {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds kOpenRetry(50);
constexpr milliseconds kReaderCheck(10);

// Makes a fresh FIFO at `path`, replacing a FIFO left behind by an earlier run.
bool CreateNode(const std::string& path, std::string& error) {
    struct stat info {};
    if (lstat(path.c_str(), &info) == 0) {
        if (!S_ISFIFO(info.st_mode)) {
            error = path + " exists and is not a FIFO";
            return false;
        }
        unlink(path.c_str());
    }
    if (mkfifo(path.c_str(), 0666) != 0) {
        error = "cannot create " + path + ": " + SystemError();
        return false;
    }
    return true;
}

// Removes the node when the run ends, however it ends.
class NodeRemover {
public:
    explicit NodeRemover(std::string path) : path_(std::move(path)) {}
    ~NodeRemover() { unlink(path_.c_str()); }
    NodeRemover(const NodeRemover&) = delete;
    NodeRemover& operator=(const NodeRemover&) = delete;

private:
    std::string path_;
};

// Our end of the FIFO; opening it succeeds only while a reader has it open.
int OpenWriter(const std::string& path, const RunDeadline& deadline) {
    while (!StopRequested() && !deadline.passed()) {
        const int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            return fd;
        }
        Nap(kOpenRetry, deadline);
    }
    return -1;
}

// A writer's end of a FIFO reports an error while no reader holds the other end.
bool ReaderPresent(int fd) {
    pollfd entry{fd, 0, 0};
    return poll(&entry, 1, 0) >= 0 && !(entry.revents & POLLERR);
}

// Waits until a reader has held the node for the settle time (the host's presence check opens
// it and closes it again at once); false on a stop or at the deadline.
bool WaitForSettledReader(int fd, milliseconds settle, const RunDeadline& deadline) {
    auto since = Clock::now();
    while (!StopRequested() && !deadline.passed()) {
        if (!ReaderPresent(fd)) {
            since = Clock::now();
        } else if (Clock::now() - since >= settle) {
            return true;
        }
        Nap(kReaderCheck, deadline);
    }
    return false;
}

}  // namespace

int RunUsbPipe(const Options& options, Playback& playback) {
    const RunDeadline deadline(options.timeLimitSeconds);
    std::string error;
    if (!CreateNode(options.node, error)) {
        Log(error);
        return kExitFailure;
    }
    const NodeRemover remover(options.node);
    Log("FIFO ready at " + options.node);
    const ScopedFd writer(OpenWriter(options.node, deadline));
    if (writer.get() < 0) {
        return ExitCodeAfterRun(false, options, "no reader opened " + options.node);
    }
    Log("reader opened " + options.node);
    SessionConfig config = BaseSessionConfig(options);
    config.inbound = Inbound::kNone;
    config.outbound = Outbound::kUsbPipePackets;
    config.answersRequests = false;
    const milliseconds settle(options.settleMs);
    while (WaitForSettledReader(writer.get(), settle, deadline)) {
        Channel channel(writer.get(), false, false, sizeof(UsbPipePacket));
        Session session(config, playback, Log);
        session.StartStreaming();
        if (FinishSession(RunSession(channel, session, deadline), session, options)) {
            return kExitNormal;
        }
    }
    return kExitNormal;
}

}  // namespace padsim

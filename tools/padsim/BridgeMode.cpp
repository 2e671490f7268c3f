#include "padsim/Channel.h"
#include "padsim/Modes.h"
#include "padsim/PacketEncoder.h"
#include "padsim/Runtime.h"
#include "padsim/Sockets.h"

namespace padsim {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds kRetryInterval(50);

bool SendHello(Channel& channel, const std::string& identity) {
    const Bytes hello = EncodeHello(identity);
    size_t sent = 0;
    channel.Send(hello.data(), hello.size(), sent);
    return sent == hello.size();
}

// Connects, retrying every 50 ms; -1 when a stop or the deadline comes first.
int ConnectWithRetries(const Options& options, const RunDeadline& deadline) {
    const std::string where = Endpoint(options.host, options.port);
    bool failureReported = false;
    while (!StopRequested() && !deadline.passed()) {
        std::string error;
        const int fd = ConnectTcp(options.host, options.port, deadline, error);
        if (fd >= 0) {
            Log("connected to " + where);
            return fd;
        }
        if (!failureReported) {
            Log("cannot connect to " + where + " (" + error + "), retrying");
            failureReported = true;
        }
        Nap(kRetryInterval, deadline);
    }
    return -1;
}

}  // namespace

int RunBridge(const Options& options, Playback& playback) {
    const RunDeadline deadline(options.timeLimitSeconds);
    SessionConfig config = BaseSessionConfig(options);
    config.inbound = Inbound::kFrames;
    config.outbound = Outbound::kStreamPackets;
    config.answersRequests = !options.silent;
    bool connected = false;
    for (;;) {
        const int fd = ConnectWithRetries(options, deadline);
        if (fd < 0) {
            break;
        }
        connected = true;
        Channel channel(fd, true, true, 0);
        if (!SendHello(channel, options.identity)) {
            Log("host closed the connection before the hello");
            Nap(kRetryInterval, deadline);
            continue;
        }
        Log("hello sent with identity \"" + options.identity + "\"");
        Session session(config, playback, Log);
        if (FinishSession(RunSession(channel, session, deadline), session, options)) {
            return kExitNormal;
        }
    }
    return ExitCodeAfterRun(connected, options,
                            "could not connect to " + Endpoint(options.host, options.port));
}

}  // namespace padsim

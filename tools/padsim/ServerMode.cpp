#include "padsim/Channel.h"
#include "padsim/Modes.h"
#include "padsim/Runtime.h"
#include "padsim/Sockets.h"

namespace padsim {

int RunServer(const Options& options, Playback& playback) {
    const RunDeadline deadline(options.timeLimitSeconds);
    const std::string where = Endpoint(options.host, options.port);
    std::string error;
    const ScopedFd listener(ListenTcp(options.host, options.port, error));
    if (listener.get() < 0) {
        Log("cannot listen on " + where + ": " + error);
        return kExitFailure;
    }
    Log("listening on " + where);
    SessionConfig config = BaseSessionConfig(options);
    config.inbound = Inbound::kFrames;
    config.outbound = Outbound::kPointRecords;
    config.answersRequests = false;
    // The host's TCP client sends a pad server nothing: the points start once the host has held
    // the connection for the settle time, which lets its presence check, which leaves at once,
    // pass without taking them.
    config.startAfter = 0;
    config.startDelay += std::chrono::milliseconds(options.settleMs);
    config.mapToLogical = !options.rawCoordinates;
    bool connected = false;
    while (!StopRequested() && !deadline.passed()) {
        std::string peer;
        const int fd = AcceptTcp(listener.get(), deadline, peer);
        if (fd < 0) {
            continue;
        }
        connected = true;
        Log("host connected from " + peer);
        Channel channel(fd, true, true, 0);
        Session session(config, playback, Log);
        if (FinishSession(RunSession(channel, session, deadline), session, options)) {
            return kExitNormal;
        }
    }
    return ExitCodeAfterRun(connected, options, "no host connected");
}

}  // namespace padsim

#include "padsim/Modes.h"
#include "padsim/Runtime.h"

#include <cstdio>

namespace padsim {

SessionConfig BaseSessionConfig(const Options& options) {
    SessionConfig config;
    config.startAfter = options.startAfter;
    config.startDelay = std::chrono::milliseconds(options.startDelayMs);
    config.serialNumber = options.serialNumber;
    config.modelNumber = options.modelNumber;
    config.window = options.window;
    config.logicalSize = options.logicalSize;
    return config;
}

bool FinishSession(SessionEnd end, const Session& session, const Options& options) {
    Log(DescribeEnd(end));
    if (session.streaming() && !session.allSent()) {
        Log("sent " + std::to_string(session.pointsSent()) + " points in this connection");
    }
    if (end == SessionEnd::kStopped || end == SessionEnd::kTimeLimit) {
        return true;
    }
    return session.allSent() && !options.loop;
}

int ExitCodeAfterRun(bool hostSeen, const Options& options, const std::string& waitedFor) {
    if (hostSeen || StopRequested()) {
        return kExitNormal;
    }
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%g", options.timeLimitSeconds);
    Log(waitedFor + " within " + seconds + " s");
    return kExitFailure;
}

}  // namespace padsim

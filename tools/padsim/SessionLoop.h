#pragma once

#include "padsim/Channel.h"
#include "padsim/Runtime.h"
#include "padsim/Session.h"

namespace padsim {

enum class SessionEnd { kHostClosed, kProtocolError, kStopped, kTimeLimit };

// Serves one connection until the host goes, breaks the framing, a stop is requested or the
// run's time is up: reads and answers requests, writes the points at their times.
SessionEnd RunSession(Channel& channel, Session& session, const RunDeadline& deadline);

// The event line for the end of a session.
std::string DescribeEnd(SessionEnd end);

}  // namespace padsim

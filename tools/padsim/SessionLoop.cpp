#include "padsim/SessionLoop.h"

#include <poll.h>

#include <algorithm>
#include <optional>

namespace padsim {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds kLongestWait(50);  // how often a stop request is looked at, at worst
constexpr size_t kReceiveSize = 4096;

// False when the host has gone.
bool Flush(Channel& channel, Session& session) {
    OutputBuffer& output = session.output();
    if (output.empty()) {
        return true;
    }
    size_t sent = 0;
    const IoStatus status = channel.Send(output.data(), output.size(), sent);
    output.Consume(sent);
    if (output.empty()) {
        session.OnOutputDrained();
    }
    return status != IoStatus::kClosed;
}

// Reads everything waiting. Nothing while all is well, else how the session ends.
std::optional<SessionEnd> Drain(Channel& channel, Session& session) {
    uint8_t buffer[kReceiveSize];
    for (;;) {
        size_t received = 0;
        const IoStatus status = channel.Receive(buffer, sizeof buffer, received);
        if (status == IoStatus::kWouldBlock) {
            return std::nullopt;
        }
        if (status == IoStatus::kClosed) {
            return SessionEnd::kHostClosed;
        }
        if (!session.OnReceived(buffer, received)) {
            return SessionEnd::kProtocolError;
        }
    }
}

int WaitMs(const Session& session, const RunDeadline& deadline) {
    milliseconds wait = deadline.Clip(kLongestWait);
    if (!session.output().empty()) {
        return static_cast<int>(wait.count());  // poll wakes when the channel takes more
    }
    if (const auto due = session.NextDeadline()) {
        const auto untilDue = std::chrono::ceil<milliseconds>(*due - Clock::now());
        wait = std::clamp(untilDue, milliseconds(0), wait);
    }
    return static_cast<int>(wait.count());
}

short WantedEvents(const Channel& channel, const Session& session) {
    short events = channel.receives() ? POLLIN : 0;
    if (!session.output().empty()) {
        events |= POLLOUT;
    }
    return events;
}

// One pass: wait for the channel or the next point, then read. Nothing while all is well.
std::optional<SessionEnd> WaitAndRead(Channel& channel, Session& session,
                                      const RunDeadline& deadline) {
    pollfd entry{channel.fd(), WantedEvents(channel, session), 0};
    if (poll(&entry, 1, WaitMs(session, deadline)) <= 0) {
        return std::nullopt;  // time to send, or interrupted by a signal
    }
    if (entry.revents & POLLIN) {
        return Drain(channel, session);
    }
    if (entry.revents & (POLLERR | POLLHUP | POLLNVAL)) {
        return SessionEnd::kHostClosed;
    }
    return std::nullopt;
}

}  // namespace

SessionEnd RunSession(Channel& channel, Session& session, const RunDeadline& deadline) {
    for (;;) {
        if (StopRequested()) {
            return SessionEnd::kStopped;
        }
        if (deadline.passed()) {
            return SessionEnd::kTimeLimit;
        }
        session.Pump(Clock::now());
        if (!Flush(channel, session)) {
            return SessionEnd::kHostClosed;
        }
        if (const auto end = WaitAndRead(channel, session, deadline)) {
            return *end;
        }
    }
}

std::string DescribeEnd(SessionEnd end) {
    switch (end) {
        case SessionEnd::kHostClosed:
            return "host closed the connection";
        case SessionEnd::kProtocolError:
            return "dropping the connection after a protocol error";
        case SessionEnd::kStopped:
            return "closing the connection on a stop request";
        case SessionEnd::kTimeLimit:
            return "time limit reached";
    }
    return "session ended";
}

}  // namespace padsim

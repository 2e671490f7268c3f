#include "transports/SocketLink.h"

#include <cstring>
#include <system_error>

#include "tablet/DiagnosticLog.h"
#include "tablet/Tablet.h"

namespace {

using namespace std::chrono_literals;

constexpr auto kIdlePoll = 10ms;
constexpr auto kHandOverPoll = 1ms;
constexpr auto kHandOverLimit = 1000ms;
// How long the reader keeps a frame going to a peer that takes it slowly. Well inside the
// writer's hand-over limit, so that a running reader always answers a write in time.
constexpr auto kSendCompletionLimit = 500ms;
constexpr auto kSendRetryPause = 1ms;

}  // namespace

SocketLink::SocketLink(Tablet* owner, bool acceptedConnections)
    : owner(owner), acceptedConnections(acceptedConnections) {
    platform::InitWinsock();
}

SocketLink::~SocketLink() {
    ReleaseLink();
}

bool SocketLink::CloseLink() {
    if (!owner->isOpen) {
        return true;
    }
    StopAndJoinReader();
    CloseConnection();
    return true;
}

bool SocketLink::WriteLink(const uint8_t* data, int32_t length) {
    if (!owner->isOpen || length < 0 || length > kMaxWritePayload || !readerRunning) {
        return false;
    }
    // A write that outlived its wait may still be with the reader: its buffer stays untouched.
    if (!WaitForHandOver()) {
        return false;
    }
    if (length > 0) {
        std::memcpy(sendBuffer, data, static_cast<size_t>(length));
    }
    sendLength = length;
    sendPending = true;
    readerWake.Wake();
    return WaitForHandOver();
}

bool SocketLink::StartReader(std::function<void()> readerProcedure) {
    sendPending = false;
    peerGone = false;
    mayHoldBytes = true;
    readerRunning = true;
    try {
        readerThread = std::thread(std::move(readerProcedure));
    } catch (const std::exception&) {
        readerRunning = false;
        return false;
    }
    return true;
}

int32_t SocketLink::ServeOnePass(uint8_t* buffer, int32_t capacity) {
    if (sendPending) {
        SendPendingFrame();
    }
    if (mayHoldBytes && !peerGone) {
        const int received = platform::ReceiveBytes(peerSocket, buffer, capacity);
        if (received > 0) {
            // A receive that did not fill the buffer took what there was: the next pass waits
            // for more instead of asking the socket again.
            mayHoldBytes = received == capacity;
            return received;
        }
        // The peer's end, or a failed connection: nothing more will arrive, and the socket
        // would keep reporting it. The Tablet is told once that the pad has gone; the reader
        // serves writes until it is stopped.
        const int error = received == 0 ? 0 : platform::LastSocketError();
        peerGone = received == 0 || !platform::IsWouldBlock(error);
        if (peerGone) {
            LogPeerGone(received, error);
            owner->ReportPadGone();
        }
    }
    WaitForWork();
    mayHoldBytes = true;
    return 0;
}

// A clean end (the peer shut down its sending side) leaves nothing behind; a reset throws away
// whatever the peer had not sent yet, and only the log can tell.
void SocketLink::LogPeerGone(int received, int error) {
    if (received == 0) {
        WriteLogLine("connection ended by the peer");
    } else if (platform::IsConnectionReset(error)) {
        WriteLogLine("connection reset: points may be lost");
    } else {
        WriteLogFormat("connection failed with error %d: points may be lost", error);
    }
}

void SocketLink::WaitForWork() {
    const platform::SocketHandle watched = peerGone ? platform::kInvalidSocket : peerSocket;
    if (readerWake.Wait(watched, platform::SocketWaiter::kNoTimeLimit) ==
        platform::SocketWaiter::Outcome::Failed) {
        std::this_thread::sleep_for(kIdlePoll);  // without a waiter, the reader polls
    }
}

void SocketLink::ReleaseLink() {
    StopAndJoinReader();
    CloseConnection();
}

void SocketLink::CloseConnection() {
    if (peerSocket != platform::kInvalidSocket) {
        if (acceptedConnections) {
            platform::CloseAcceptedConnection(peerSocket);
        } else {
            platform::CloseSocket(peerSocket);
        }
        peerSocket = platform::kInvalidSocket;
    }
}

void SocketLink::StopAndJoinReader() {
    stopReader = true;
    if (readerRunning) {
        owner->ReleaseWaitingProducers();  // a reader waiting for room in the ring or queue goes on
    }
    readerWake.Wake();  // kept for the reader's next wait, after which it sees stopReader
    if (readerThread.joinable()) {
        readerThread.join();
    }
}

bool SocketLink::WaitForHandOver() {
    const auto deadline = std::chrono::steady_clock::now() + kHandOverLimit;
    while (sendPending && readerRunning && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(kHandOverPoll);
    }
    return !sendPending;
}

void SocketLink::SendPendingFrame() {
    uint8_t frame[kMaxFrameSize];
    const int32_t frameSize = BuildDataFrame(sendBuffer, sendLength, frame);
    SendWhole(frame, frameSize);
    sendPending = false;
}

bool SocketLink::SendWhole(const uint8_t* bytes, int32_t length) {
    const auto deadline = std::chrono::steady_clock::now() + kSendCompletionLimit;
    int32_t sent = 0;
    while (sent < length) {
        const int taken = platform::SendBytes(peerSocket, bytes + sent, length - sent);
        if (taken > 0) {
            sent += taken;
            continue;
        }
        const bool full = taken == 0 || platform::IsWouldBlock(platform::LastSocketError());
        if (!full || stopReader || std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(kSendRetryPause);
    }
    return true;
}

#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <thread>

#include "platform/SocketWaiter.h"
#include "platform/Sockets.h"
#include "transports/SocketWire.h"

class Tablet;

// What the TCP client and the TCP listening transport share: the connected socket, the reader
// thread with its stop and running flags, and the hand-over of writes. While the reader runs it
// alone sends and receives on the socket; the main thread hands it one write at a time through
// sendBuffer, sendLength and sendPending.
class SocketLink {
public:
    SocketLink(const SocketLink&) = delete;
    SocketLink& operator=(const SocketLink&) = delete;

protected:
    // Starts the system's socket service. A link over connections that a listener accepted
    // closes them as such (platform::CloseAcceptedConnection).
    explicit SocketLink(Tablet* owner, bool acceptedConnections = false);
    ~SocketLink();

    // TabletClose: when the owner is open, stops the reader, waits until it has ended and
    // closes the connection. Always true.
    bool CloseLink();
    // TabletWrite: hands the bytes to the reader, which sends them to the peer as one frame,
    // and waits until it has. False when the owner is closed, the block is larger than
    // kMaxWritePayload, or the reader has ended or not taken the write within a second.
    bool WriteLink(const uint8_t* data, int32_t length);

    // Clears sendPending, sets readerRunning and starts the reader thread; false, with
    // readerRunning cleared, when the thread cannot be started.
    bool StartReader(std::function<void()> readerProcedure);
    // One pass of a reader: sends a handed-over write, then takes what has arrived into the
    // buffer and returns the number of bytes, or, when none wait, blocks until bytes arrive, a
    // write is handed over or the reader is stopped, and returns 0.
    int32_t ServeOnePass(uint8_t* buffer, int32_t capacity);
    // The reader's last act.
    void ReaderFinished() { readerRunning = false; }
    // Stops and joins a reader that is still held, and closes the connection if there is one.
    void ReleaseLink();
    void CloseConnection();

    Tablet* owner;
    std::atomic<bool> readerRunning{false};
    std::atomic<bool> stopReader{false};
    platform::SocketHandle peerSocket = platform::kInvalidSocket;
    uint8_t sendBuffer[kMaxWritePayload] = {};
    int32_t sendLength = 0;
    std::atomic<bool> sendPending{false};

private:
    void StopAndJoinReader();
    void WaitForWork();
    void LogPeerGone(int received, int error);
    bool WaitForHandOver();
    void SendPendingFrame();
    bool SendWhole(const uint8_t* bytes, int32_t length);

    std::thread readerThread;
    platform::SocketWaiter readerWake;
    // The reader's own: the peer has closed the connection or it has failed, so only a write or
    // the stop can give the reader work; and whether bytes may wait unread.
    bool peerGone = false;
    bool mayHoldBytes = true;
    const bool acceptedConnections;
};

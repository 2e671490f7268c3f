#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace probe {

// The pad on the far side of the host's transport. A thread of its own serves what the host
// sends: it counts the host's request bytes (0x00) and, when asked to, answers each with the
// pad's numbers packet. The capture has begun once a link has carried a request: the host's
// numbers query after the open sends one to a pad that answers it, four to one that does not,
// and the presence check's link carries none.
class PadPeer {
public:
    virtual ~PadPeer();
    // The settings lines that make the host use this pad.
    virtual std::string SettingsLines() const = 0;
    void Start();
    bool WaitUntilCapturing(std::chrono::milliseconds timeout) const;
    // Sends the bytes of one pad packet over the capture's link, with one system call.
    virtual bool SendPacket(const uint8_t* bytes, size_t length) = 0;

protected:
    explicit PadPeer(bool answering) : answering(answering) {}
    // Runs on the peer's thread until stopping is set.
    virtual void Serve() = 0;
    // Notes requests that arrived on the current link; the caller answers them.
    void NoteRequests(int count);
    void OnNewLink() { requestsOnLink = 0; }
    // Stops the peer's thread and waits for it; every derived destructor calls it first.
    void Join();

    const bool answering;
    std::atomic<bool> stopping{false};
    std::atomic<bool> capturing{false};

private:
    int requestsOnLink = 0;
    std::thread server;
};

// A bridge that connects to the host's TCP listener on 127.0.0.1 (again after every drop) and
// presents its identity.
std::unique_ptr<PadPeer> NewTcpBridge(uint16_t port, bool answering);
// A pad on a pseudo-terminal, whose slave side the host opens as its serial port.
std::unique_ptr<PadPeer> NewPseudoTerminalPad(bool answering);

}  // namespace probe

#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Sockets.h"

// The far side of the TCP transports in tests: plain sockets on 127.0.0.1, non-blocking, with
// waits bounded by a timeout.
namespace loopback {

using namespace std::chrono_literals;
using Milliseconds = std::chrono::milliseconds;
using Bytes = std::vector<uint8_t>;

// 127.0.0.1 in network byte order.
uint32_t LoopbackAddress();
// A port nobody listens on at the moment of asking.
uint16_t FreePort();
// Appends value as a 32-bit little-endian word.
void AppendWord(Bytes& bytes, uint32_t value);
// A bridge's first message: the type word, a word the host does not read, the identity text
// and, unless told otherwise, its terminating NUL.
Bytes BridgeHello(uint32_t type, const std::string& identity, bool terminated = true);
// A pad server's 12-byte point record: type word, a word the host does not read, penData.
Bytes PointRecordBytes(uint32_t type, uint32_t penData);

class Connection {
public:
    explicit Connection(platform::SocketHandle socket = platform::kInvalidSocket);
    ~Connection();
    Connection(Connection&& other) noexcept;
    Connection& operator=(Connection&& other) noexcept;

    bool valid() const { return socket_ != platform::kInvalidSocket; }
    platform::SocketHandle socket() const { return socket_; }
    void Close();
    bool SendAll(const Bytes& bytes);
    // Up to count bytes, fewer when the timeout passes first or the peer closes.
    Bytes Receive(size_t count, Milliseconds timeout);
    // Whether the peer closes the connection within the timeout (data on the way is dropped).
    bool WaitForClose(Milliseconds timeout);

private:
    platform::SocketHandle socket_;
};

// A listener on 127.0.0.1 at a free port: the pad server of the TCP client.
class Server {
public:
    Server();
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    uint16_t port() const { return port_; }
    // The next connection, or an invalid one when none comes within the timeout.
    Connection Accept(Milliseconds timeout);

private:
    platform::SocketHandle listener_;
    uint16_t port_ = 0;
};

// Connects to 127.0.0.1:port once: an invalid connection when nobody listens there.
Connection Connect(uint16_t port);
// Connects to 127.0.0.1:port, retrying while nobody listens there yet.
Connection ConnectWhenListening(uint16_t port, Milliseconds timeout);
// The bridge as the host's TCP listener takes it: the presence check's connection, which the host
// drops, then the open's, each presenting the bridge's hello; an invalid connection when either
// fails within the timeout.
Connection ConnectBridgeAfterPresenceCheck(uint16_t port, const std::string& identity,
                                           Milliseconds timeout);

}  // namespace loopback

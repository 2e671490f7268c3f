#include "LoopbackPeer.h"

#include <cstring>
#include <stdexcept>
#include <thread>
#include <utility>

namespace loopback {
namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kPollStep = 1ms;

// A new stream socket; the first one starts the system's socket service where it needs starting.
platform::SocketHandle NewSocket() {
    static const int started = platform::InitWinsock();
    return started == 0 ? platform::CreateStreamSocket() : platform::kInvalidSocket;
}

platform::SocketHandle BoundLoopbackSocket() {
    const platform::SocketHandle socket = NewSocket();
    if (socket == platform::kInvalidSocket ||
        platform::BindSocket(socket, LoopbackAddress(), 0) != 0) {
        throw std::runtime_error("cannot bind a loopback socket");
    }
    return socket;
}

}  // namespace

uint32_t LoopbackAddress() {
    const uint8_t octets[4] = {127, 0, 0, 1};
    uint32_t address = 0;
    std::memcpy(&address, octets, sizeof address);
    return address;
}

uint16_t FreePort() {
    const platform::SocketHandle socket = BoundLoopbackSocket();
    const int port = platform::LocalPort(socket);
    platform::CloseSocket(socket);
    return static_cast<uint16_t>(port);
}

void AppendWord(Bytes& bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

Bytes BridgeHello(uint32_t type, const std::string& identity, bool terminated) {
    Bytes hello;
    AppendWord(hello, type);
    AppendWord(hello, 0x01020304);
    hello.insert(hello.end(), identity.begin(), identity.end());
    if (terminated) {
        hello.push_back(0);
    }
    return hello;
}

Bytes PointRecordBytes(uint32_t type, uint32_t penData) {
    Bytes record;
    AppendWord(record, type);
    AppendWord(record, 0xDEADBEEF);
    AppendWord(record, penData);
    return record;
}

Connection::Connection(platform::SocketHandle socket) : socket_(socket) {}

Connection::~Connection() {
    Close();
}

Connection::Connection(Connection&& other) noexcept
    : socket_(std::exchange(other.socket_, platform::kInvalidSocket)) {}

Connection& Connection::operator=(Connection&& other) noexcept {
    if (this != &other) {
        Close();
        socket_ = std::exchange(other.socket_, platform::kInvalidSocket);
    }
    return *this;
}

void Connection::Close() {
    if (valid()) {
        platform::CloseSocket(socket_);
        socket_ = platform::kInvalidSocket;
    }
}

bool Connection::SendAll(const Bytes& bytes) {
    const auto deadline = Clock::now() + 5s;
    size_t sent = 0;
    while (sent < bytes.size() && Clock::now() < deadline) {
        const int taken = platform::SendBytes(socket_, bytes.data() + sent,
                                              static_cast<int32_t>(bytes.size() - sent));
        if (taken > 0) {
            sent += static_cast<size_t>(taken);
        } else if (platform::IsWouldBlock(platform::LastSocketError())) {
            std::this_thread::sleep_for(kPollStep);
        } else {
            return false;
        }
    }
    return sent == bytes.size();
}

Bytes Connection::Receive(size_t count, Milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    Bytes bytes(count);
    size_t held = 0;
    while (held < count && Clock::now() < deadline) {
        const int got = platform::ReceiveBytes(socket_, bytes.data() + held,
                                               static_cast<int32_t>(count - held));
        if (got > 0) {
            held += static_cast<size_t>(got);
        } else if (got == platform::kSocketError &&
                   platform::IsWouldBlock(platform::LastSocketError())) {
            std::this_thread::sleep_for(kPollStep);
        } else {
            break;
        }
    }
    bytes.resize(held);
    return bytes;
}

bool Connection::WaitForClose(Milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    uint8_t scratch[4096];
    while (Clock::now() < deadline) {
        const int got = platform::ReceiveBytes(socket_, scratch, sizeof scratch);
        if (got == 0) {
            return true;
        }
        if (got == platform::kSocketError) {
            if (!platform::IsWouldBlock(platform::LastSocketError())) {
                return true;  // reset by the peer
            }
            std::this_thread::sleep_for(kPollStep);
        }
    }
    return false;
}

Server::Server() : listener_(BoundLoopbackSocket()) {
    port_ = static_cast<uint16_t>(platform::LocalPort(listener_));
    if (platform::ListenSocket(listener_, 4) != 0 ||
        platform::SetSocketNonBlocking(listener_, true) != 0) {
        platform::CloseSocket(listener_);
        throw std::runtime_error("cannot listen on a loopback socket");
    }
}

Server::~Server() {
    platform::CloseSocket(listener_);
}

Connection Server::Accept(Milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
        const platform::SocketHandle socket = platform::AcceptConnection(listener_);
        if (socket != platform::kInvalidSocket) {
            return Connection(socket);
        }
        std::this_thread::sleep_for(kPollStep);
    }
    return Connection();
}

Connection Connect(uint16_t port) {
    const platform::SocketHandle socket = NewSocket();
    if (platform::ConnectSocket(socket, LoopbackAddress(), port) != 0) {
        platform::CloseSocket(socket);
        return Connection();
    }
    platform::SetSocketNonBlocking(socket, true);
    return Connection(socket);
}

Connection ConnectWhenListening(uint16_t port, Milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
        Connection connection = Connect(port);
        if (connection.valid()) {
            return connection;
        }
        std::this_thread::sleep_for(5ms);
    }
    return Connection();
}

Connection ConnectBridgeAfterPresenceCheck(uint16_t port, const std::string& identity,
                                           Milliseconds timeout) {
    const Bytes hello = BridgeHello(2, identity);
    Connection check = ConnectWhenListening(port, timeout);
    if (!check.valid() || !check.SendAll(hello) || !check.WaitForClose(timeout)) {
        return Connection();
    }
    Connection bridge = ConnectWhenListening(port, timeout);
    return bridge.valid() && bridge.SendAll(hello) ? std::move(bridge) : Connection();
}

}  // namespace loopback

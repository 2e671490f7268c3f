#include "platform/Sockets.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace platform {
namespace {

SOCKET Native(SocketHandle socket) {
    return static_cast<SOCKET>(socket);
}

SocketHandle Handle(SOCKET socket) {
    return socket == INVALID_SOCKET ? kInvalidSocket : static_cast<SocketHandle>(socket);
}

sockaddr_in Ipv4Endpoint(uint32_t ipv4Address, uint16_t port) {
    sockaddr_in endpoint{};
    endpoint.sin_family = AF_INET;
    endpoint.sin_port = htons(port);
    endpoint.sin_addr.s_addr = ipv4Address;
    return endpoint;
}

// A connect to a port inside the system's ephemeral range that nobody listens on can be given
// that very port as its own and meet itself (TCP's simultaneous open).
bool IsConnectedToItself(SOCKET socket) {
    sockaddr_in local{};
    sockaddr_in peer{};
    int localLength = sizeof local;
    int peerLength = sizeof peer;
    return ::getsockname(socket, reinterpret_cast<sockaddr*>(&local), &localLength) == 0 &&
           ::getpeername(socket, reinterpret_cast<sockaddr*>(&peer), &peerLength) == 0 &&
           local.sin_port == peer.sin_port && local.sin_addr.s_addr == peer.sin_addr.s_addr;
}

}  // namespace

int InitWinsock() {
    WSADATA data{};
    return WSAStartup(MAKEWORD(1, 1), &data);
}

SocketHandle CreateStreamSocket() {
    return Handle(::socket(AF_INET, SOCK_STREAM, 0));
}

int CloseSocket(SocketHandle socket) {
    return ::closesocket(Native(socket));
}

int SetSocketNonBlocking(SocketHandle socket, bool nonBlocking) {
    u_long mode = nonBlocking ? 1 : 0;
    return ::ioctlsocket(Native(socket), FIONBIO, &mode);
}

int LastSocketError() {
    return WSAGetLastError();
}

bool IsWouldBlock(int errorCode) {
    return errorCode == WSAEWOULDBLOCK;
}

bool IsConnectionReset(int errorCode) {
    return errorCode == WSAECONNRESET;
}

int ConnectSocket(SocketHandle socket, uint32_t ipv4Address, uint16_t port) {
    const sockaddr_in endpoint = Ipv4Endpoint(ipv4Address, port);
    if (::connect(Native(socket), reinterpret_cast<const sockaddr*>(&endpoint), sizeof endpoint) !=
        0) {
        return kSocketError;
    }
    if (IsConnectedToItself(Native(socket))) {
        WSASetLastError(WSAECONNREFUSED);
        return kSocketError;
    }
    return 0;
}

int BindSocket(SocketHandle socket, uint32_t ipv4Address, uint16_t port) {
    const sockaddr_in endpoint = Ipv4Endpoint(ipv4Address, port);
    // A success leaves the last error at 0, so that a log of "result, error" reads the same
    // after every run.
    WSASetLastError(0);
    return ::bind(Native(socket), reinterpret_cast<const sockaddr*>(&endpoint), sizeof endpoint);
}

int ListenSocket(SocketHandle socket, int backlog) {
    WSASetLastError(0);
    return ::listen(Native(socket), backlog);
}

SocketHandle AcceptConnection(SocketHandle listener) {
    // The accepted socket takes the listener's blocking mode, as the shim promises. A pending
    // connection that its peer reset before it was taken is no failure of the listener.
    const SOCKET accepted = ::accept(Native(listener), nullptr, nullptr);
    if (accepted == INVALID_SOCKET && WSAGetLastError() == WSAECONNRESET) {
        WSASetLastError(WSAEWOULDBLOCK);
    }
    return Handle(accepted);
}

int LocalPort(SocketHandle socket) {
    sockaddr_in endpoint{};
    int length = sizeof endpoint;
    if (::getsockname(Native(socket), reinterpret_cast<sockaddr*>(&endpoint), &length) != 0) {
        return -1;
    }
    return ntohs(endpoint.sin_port);
}

bool PeerAddress(SocketHandle socket, uint32_t& address) {
    sockaddr_in peer{};
    int length = sizeof peer;
    if (::getpeername(Native(socket), reinterpret_cast<sockaddr*>(&peer), &length) != 0 ||
        peer.sin_family != AF_INET) {
        return false;
    }
    address = peer.sin_addr.s_addr;
    return true;
}

int ReserveListeningPort(SocketHandle socket) {
    const BOOL on = TRUE;
    return ::setsockopt(Native(socket), SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
                        reinterpret_cast<const char*>(&on), sizeof on);
}

// A zero linger time makes the close a reset: nothing the host sent waits unacknowledged at that
// point (the bridge has long taken the host's few request frames), and what the bridge still
// sends is not wanted.
int CloseAcceptedConnection(SocketHandle socket) {
    const linger reset{1, 0};
    ::setsockopt(Native(socket), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&reset),
                 sizeof reset);
    return CloseSocket(socket);
}

int SetNoDelay(SocketHandle socket) {
    const BOOL on = TRUE;
    return ::setsockopt(Native(socket), IPPROTO_TCP, TCP_NODELAY,
                        reinterpret_cast<const char*>(&on), sizeof on);
}

int ReceiveBytes(SocketHandle socket, uint8_t* buffer, int32_t capacity) {
    return ::recv(Native(socket), reinterpret_cast<char*>(buffer), capacity, 0);
}

int PeekBytes(SocketHandle socket, uint8_t* buffer, int32_t capacity) {
    return ::recv(Native(socket), reinterpret_cast<char*>(buffer), capacity, MSG_PEEK);
}

int SendBytes(SocketHandle socket, const uint8_t* bytes, int32_t length) {
    return ::send(Native(socket), reinterpret_cast<const char*>(bytes), length, 0);
}

}  // namespace platform

#include "platform/Sockets.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {
namespace {

int Fd(SocketHandle socket) {
    return static_cast<int>(socket);
}

sockaddr_in Ipv4Endpoint(uint32_t ipv4Address, uint16_t port) {
    sockaddr_in endpoint{};
    endpoint.sin_family = AF_INET;
    endpoint.sin_port = htons(port);
    endpoint.sin_addr.s_addr = ipv4Address;
    return endpoint;
}

bool IsNonBlocking(int fd) {
    const int flags = fcntl(fd, F_GETFL);
    return flags != -1 && (flags & O_NONBLOCK) != 0;
}

// Errors that accept reports for a pending connection that went bad before it was taken
// (Winsock simply does not return such a connection), and interruptions.
bool IsDroppedPendingConnection(int code) {
    switch (code) {
        case ECONNABORTED:
        case EINTR:
        case EPROTO:
        case ENETDOWN:
        case ENOPROTOOPT:
        case EHOSTDOWN:
        case ENONET:
        case EHOSTUNREACH:
        case EOPNOTSUPP:
        case ENETUNREACH:
            return true;
        default:
            return false;
    }
}

// A connect to a port inside the system's ephemeral range that nobody listens on can be given
// that very port as its own and meet itself (TCP's simultaneous open).
bool IsConnectedToItself(int fd) {
    sockaddr_in local{};
    sockaddr_in peer{};
    socklen_t localLength = sizeof local;
    socklen_t peerLength = sizeof peer;
    return ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localLength) == 0 &&
           ::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerLength) == 0 &&
           local.sin_port == peer.sin_port && local.sin_addr.s_addr == peer.sin_addr.s_addr;
}

}  // namespace

int InitWinsock() {
    return 0;
}

SocketHandle CreateStreamSocket() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    return fd < 0 ? kInvalidSocket : fd;
}

int CloseSocket(SocketHandle socket) {
    return ::close(Fd(socket));
}

int SetSocketNonBlocking(SocketHandle socket, bool nonBlocking) {
    const int flags = fcntl(Fd(socket), F_GETFL);
    if (flags == -1) {
        return kSocketError;
    }
    const int wanted = nonBlocking ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    return fcntl(Fd(socket), F_SETFL, wanted) == -1 ? kSocketError : 0;
}

int LastSocketError() {
    return errno;
}

bool IsWouldBlock(int errorCode) {
    return errorCode == EAGAIN || errorCode == EWOULDBLOCK;
}

bool IsConnectionReset(int errorCode) {
    return errorCode == ECONNRESET;
}

int ConnectSocket(SocketHandle socket, uint32_t ipv4Address, uint16_t port) {
    const sockaddr_in endpoint = Ipv4Endpoint(ipv4Address, port);
    if (::connect(Fd(socket), reinterpret_cast<const sockaddr*>(&endpoint), sizeof endpoint) != 0) {
        return kSocketError;
    }
    if (IsConnectedToItself(Fd(socket))) {
        errno = ECONNREFUSED;
        return kSocketError;
    }
    return 0;
}

int BindSocket(SocketHandle socket, uint32_t ipv4Address, uint16_t port) {
    const sockaddr_in endpoint = Ipv4Endpoint(ipv4Address, port);
    errno = 0;
    return ::bind(Fd(socket), reinterpret_cast<const sockaddr*>(&endpoint), sizeof endpoint);
}

int ListenSocket(SocketHandle socket, int backlog) {
    // Linux would bind an unbound socket to a random port here; Winsock refuses, and so do we,
    // so that a failed bind ends the wait for a peer instead of listening where nobody looks.
    if (LocalPort(socket) <= 0) {
        errno = EINVAL;
        return kSocketError;
    }
    errno = 0;
    return ::listen(Fd(socket), backlog);
}

SocketHandle AcceptConnection(SocketHandle listener) {
    const int flags = SOCK_CLOEXEC | (IsNonBlocking(Fd(listener)) ? SOCK_NONBLOCK : 0);
    const int fd = ::accept4(Fd(listener), nullptr, nullptr, flags);
    if (fd < 0) {
        if (IsDroppedPendingConnection(errno)) {
            errno = EWOULDBLOCK;
        }
        return kInvalidSocket;
    }
    return fd;
}

int LocalPort(SocketHandle socket) {
    sockaddr_in endpoint{};
    socklen_t length = sizeof endpoint;
    if (::getsockname(Fd(socket), reinterpret_cast<sockaddr*>(&endpoint), &length) != 0) {
        return -1;
    }
    return ntohs(endpoint.sin_port);
}

bool PeerAddress(SocketHandle socket, uint32_t& address) {
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    if (::getpeername(Fd(socket), reinterpret_cast<sockaddr*>(&peer), &length) != 0 ||
        peer.sin_family != AF_INET) {
        return false;
    }
    address = peer.sin_addr.s_addr;
    return true;
}

int ReserveListeningPort(SocketHandle socket) {
    const int on = 1;
    return ::setsockopt(Fd(socket), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
}

int CloseAcceptedConnection(SocketHandle socket) {
    return CloseSocket(socket);
}

int SetNoDelay(SocketHandle socket) {
    const int on = 1;
    return ::setsockopt(Fd(socket), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

int ReceiveBytes(SocketHandle socket, uint8_t* buffer, int32_t capacity) {
    return static_cast<int>(::recv(Fd(socket), buffer, static_cast<size_t>(capacity), 0));
}

int PeekBytes(SocketHandle socket, uint8_t* buffer, int32_t capacity) {
    return static_cast<int>(::recv(Fd(socket), buffer, static_cast<size_t>(capacity), MSG_PEEK));
}

int SendBytes(SocketHandle socket, const uint8_t* bytes, int32_t length) {
    return static_cast<int>(::send(Fd(socket), bytes, static_cast<size_t>(length), MSG_NOSIGNAL));
}

}  // namespace platform

#include "padsim/Sockets.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace padsim {
namespace {

using std::chrono::milliseconds;

bool Resolve(const std::string& host, uint16_t port, sockaddr_in& address, std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int status = getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (status != 0 || found == nullptr) {
        error = "cannot resolve " + host + ": " + gai_strerror(status);
        return false;
    }
    std::memcpy(&address, found->ai_addr, sizeof address);
    address.sin_port = htons(port);
    freeaddrinfo(found);
    return true;
}

void SetNoDelay(int fd) {
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

int NewSocket(std::string& error) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        error = SystemError();
    }
    return fd;
}

// The outcome of a connect in progress: 0 once connected, else the error code.
int FinishConnect(int fd, const RunDeadline& deadline) {
    pollfd entry{fd, POLLOUT, 0};
    const int ready = poll(&entry, 1, static_cast<int>(deadline.Clip(milliseconds(1000)).count()));
    if (ready <= 0) {
        return ready == 0 ? ETIMEDOUT : errno;
    }
    int code = 0;
    socklen_t length = sizeof code;
    getsockopt(fd, SOL_SOCKET, SO_ERROR, &code, &length);
    return code;
}

// Whether the socket is connected to itself: with nothing listening on a port inside the
// system's ephemeral range, a connect can be given that very port as its own and meet itself
// (TCP's simultaneous open), which would keep the port from the host that means to listen there.
bool IsConnectedToItself(int fd) {
    sockaddr_in local{};
    sockaddr_in peer{};
    socklen_t localLength = sizeof local;
    socklen_t peerLength = sizeof peer;
    return getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localLength) == 0 &&
           getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerLength) == 0 &&
           local.sin_port == peer.sin_port && local.sin_addr.s_addr == peer.sin_addr.s_addr;
}

}  // namespace

int ConnectTcp(const std::string& host, uint16_t port, const RunDeadline& deadline,
               std::string& error) {
    sockaddr_in address{};
    if (!Resolve(host, port, address, error)) {
        return -1;
    }
    const int fd = NewSocket(error);
    if (fd < 0) {
        return -1;
    }
    int code = 0;
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        code = errno == EINPROGRESS ? FinishConnect(fd, deadline) : errno;
    }
    if (code == 0 && IsConnectedToItself(fd)) {
        code = ECONNREFUSED;
    }
    if (code != 0) {
        error = std::strerror(code);
        close(fd);
        return -1;
    }
    SetNoDelay(fd);
    return fd;
}

int ListenTcp(const std::string& host, uint16_t port, std::string& error) {
    sockaddr_in address{};
    if (!Resolve(host, port, address, error)) {
        return -1;
    }
    const int fd = NewSocket(error);
    if (fd < 0) {
        return -1;
    }
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(fd, 4) != 0) {
        error = SystemError();
        close(fd);
        return -1;
    }
    return fd;
}

int AcceptTcp(int listener, const RunDeadline& deadline, std::string& peer) {
    pollfd entry{listener, POLLIN, 0};
    if (poll(&entry, 1, static_cast<int>(deadline.Clip(milliseconds(50)).count())) <= 0) {
        return -1;
    }
    sockaddr_in address{};
    socklen_t length = sizeof address;
    const int fd = accept4(listener, reinterpret_cast<sockaddr*>(&address), &length,
                           SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) {
        return -1;
    }
    SetNoDelay(fd);
    char text[INET_ADDRSTRLEN] = "?";
    inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    peer = Endpoint(text, ntohs(address.sin_port));
    return fd;
}

std::string Endpoint(const std::string& host, uint16_t port) {
    return host + ":" + std::to_string(port);
}

}  // namespace padsim

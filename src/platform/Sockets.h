#pragma once

#include <cstdint>

// A thin layer over the system's stream sockets (IPv4 only). Results follow the BSD
// convention: kSocketError (-1) on failure, with the code in LastSocketError().

namespace platform {

// A socket of the system; kInvalidSocket when there is none.
using SocketHandle = std::intptr_t;
inline constexpr SocketHandle kInvalidSocket = -1;
inline constexpr int kSocketError = -1;

// Starts the system's socket service where it needs starting (version 1.1); returns its
// result, 0 on success. Harmless to call more than once.
int InitWinsock();

// A new IPv4 stream socket (protocol 0), in blocking mode.
SocketHandle CreateStreamSocket();

// Closes the socket; it must not be used afterwards.
int CloseSocket(SocketHandle socket);

// Switches between blocking and non-blocking mode.
int SetSocketNonBlocking(SocketHandle socket, bool nonBlocking);

// The code of the last failed socket call on this thread.
int LastSocketError();

// Whether an error code means "nothing to do right now" on a non-blocking socket.
bool IsWouldBlock(int errorCode);

// Whether an error code means the peer reset the connection (an abortive close).
bool IsConnectionReset(int errorCode);

// ipv4Address is in network byte order (0 is any local address); port in host byte order. A
// socket that met itself is refused (connection refused), as nobody listened there.
int ConnectSocket(SocketHandle socket, uint32_t ipv4Address, uint16_t port);
int BindSocket(SocketHandle socket, uint32_t ipv4Address, uint16_t port);
// Fails on a socket that is not bound to a port.
int ListenSocket(SocketHandle socket, int backlog);
// A connection taken from the listener's backlog, or kInvalidSocket. The new socket has the
// listener's blocking mode. A pending connection that the peer dropped before it was taken
// counts as none (would-block), not as a failure of the listener.
SocketHandle AcceptConnection(SocketHandle listener);
// The local port the socket is bound to (host byte order), or -1.
int LocalPort(SocketHandle socket);
// The IPv4 address (network byte order) of a connected socket's peer; false when unknown.
bool PeerAddress(SocketHandle socket, uint32_t& address);

// Readies a listening socket for its bind: the port is its alone while it is bound, and a
// listener right after an earlier one's connections closed still binds it at once. POSIX:
// SO_REUSEADDR (a connection of the earlier listener in TIME_WAIT does not block the bind, and
// no second socket may bind a port that a listener holds). Windows: SO_EXCLUSIVEADDRUSE, as
// SO_REUSEADDR there would let another program, another session's included, bind the same port
// and take the bridge's connections.
int ReserveListeningPort(SocketHandle socket);
// Closes a connection that a listener accepted. On Windows the connection is reset, so that it
// leaves no TIME_WAIT behind: a connection of an exclusive listener keeps the port from every
// later listener until it has wholly gone. Elsewhere it closes as CloseSocket does.
int CloseAcceptedConnection(SocketHandle socket);
int SetNoDelay(SocketHandle socket);

// The number of bytes received (0 when the peer has closed), or kSocketError. PeekBytes
// leaves the bytes waiting for the next receive.
int ReceiveBytes(SocketHandle socket, uint8_t* buffer, int32_t capacity);
int PeekBytes(SocketHandle socket, uint8_t* buffer, int32_t capacity);
// The number of bytes the system took, which may be fewer than given, or kSocketError. A peer
// that has gone away gives an error, never a signal that ends the process.
int SendBytes(SocketHandle socket, const uint8_t* bytes, int32_t length);

}  // namespace platform

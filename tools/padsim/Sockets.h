#pragma once

#include <cstdint>
#include <string>

#include "padsim/Runtime.h"

namespace padsim {

// Connects to an IPv4 TCP listener, waiting at most one second (never past the deadline).
// Returns a non-blocking socket with TCP_NODELAY, or -1 with `error` set.
int ConnectTcp(const std::string& host, uint16_t port, const RunDeadline& deadline,
               std::string& error);

// A non-blocking IPv4 listening socket, or -1 with `error` set.
int ListenTcp(const std::string& host, uint16_t port, std::string& error);

// Waits up to 50 ms for a connection; returns it non-blocking with TCP_NODELAY, or -1.
// `peer` names the other end.
int AcceptTcp(int listener, const RunDeadline& deadline, std::string& peer);

std::string Endpoint(const std::string& host, uint16_t port);

}  // namespace padsim

#pragma once

#include <cstdint>

// The TCP ports that the two TCP transports take from the SocketPort setting, in unsigned 32-bit
// arithmetic and cut to the 16 bits a socket address holds (the Win32 host's own conversion):
// SocketPort 112825 connects to 47289, and 65535 listens on port 0, a free port the system picks.
// Any int32 value converts without overflow.
uint16_t ClientPort(int32_t socketPort);
uint16_t ListenerPort(int32_t socketPort);

#include "tablet/SocketPorts.h"

uint16_t ClientPort(int32_t socketPort) {
    return static_cast<uint16_t>(static_cast<uint32_t>(socketPort) & 0xFFFFu);
}

uint16_t ListenerPort(int32_t socketPort) {
    return static_cast<uint16_t>((static_cast<uint32_t>(socketPort) + 1u) & 0xFFFFu);
}

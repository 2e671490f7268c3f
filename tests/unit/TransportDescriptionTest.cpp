// What --check says of the TCP transports' ports: the ports the transports really use.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host/TransportDescription.h"
#include "tablet/Tablet.h"

namespace {

TEST(TransportDescription, TcpPortsAreTheOnesTheTransportsUse) {
    struct Case {
        int kind;
        int32_t socketPort;
        std::string said;
    };
    const Case cases[] = {
        {kTcpClientTransport, 47289, "TCP client to 127.0.0.1, port 47289"},
        {kTcpClientTransport, 112825, "port 47289 (SocketPort = 112825, cut to 16 bits)"},
        {kTcpListenerTransport, 47289, "TCP listener on port 47290, for a bridge"},
        {kTcpListenerTransport, 65535,
         "port 0 (SocketPort + 1 = 65536, cut to 16 bits), a free port the system picks"},
        {kTcpListenerTransport, 2147483647, "port 0 (SocketPort + 1 = 2147483648, cut to 16 bits)"},
        // A negative SocketPort is said to be one, whatever port its low 16 bits give.
        {kTcpClientTransport, -1,
         "port 65535 (SocketPort -1 is negative, and no port: SocketPort = -1 is taken as its low "
         "16 bits)"},
        {kTcpListenerTransport, -1,
         "port 0 (SocketPort -1 is negative, and no port: SocketPort + 1 = 0 is taken as its low "
         "16 bits), a free port the system picks"},
        {kTcpListenerTransport, -47291, "port 18246 (SocketPort -47291 is negative"},
    };
    for (const Case& c : cases) {
        TabletSettings settings;
        settings.TabletIpAddress = 0x0100007F;
        settings.SocketPort = c.socketPort;
        const std::string description = TransportDescription(settings, c.kind);
        EXPECT_NE(description.find(c.said), std::string::npos) << description;
    }
}

TEST(TransportDescription, ListenerSaysWhichAddressesItTakesABridgeFrom) {
    TabletSettings settings;
    EXPECT_NE(TransportDescription(settings, kTcpListenerTransport).find("from any address"),
              std::string::npos);
    std::strcpy(settings.BridgeAddresses, "10.0.0.5");
    EXPECT_NE(TransportDescription(settings, kTcpListenerTransport).find("only from 10.0.0.5"),
              std::string::npos);
}

}  // namespace

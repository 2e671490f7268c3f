#include "host/TransportDescription.h"

#include <cstdint>

#include "platform/SerialPort.h"
#include "tablet/BridgeAddresses.h"
#include "tablet/Ipv4Address.h"
#include "tablet/SocketPorts.h"
#include "tablet/Tablet.h"

namespace {

std::string SerialDevice(const TabletSettings& s) {
    char name[platform::kPortNameSize];
    const char* prefix = s.TabletPortPath[0] != '\0' ? s.TabletPortPath : "COM";
    if (!platform::FormPortName(prefix, s.TabletComPort, name)) {
        return std::string("no port: the name ") + prefix + std::to_string(s.TabletComPort) +
               " is too long";
    }
    return "serial port " + std::string(name) + " (" + platform::DevicePathOfPortName(name) +
           ") at " + std::to_string(s.TabletBaudRate) + " baud";
}

std::string NthPad(const TabletSettings& s, const char* what) {
    return s.UseMultiUsb ? "pad " + std::to_string(s.TabletComPort) + " of the " + what
                         : std::string("the first ") + what;
}

// The port used, and how it came from the setting when that is not plain: the setting asks for
// SocketPort + offset, computed without overflow.
std::string PortText(uint16_t port, int32_t socketPort, int offset) {
    const int64_t written = int64_t{socketPort} + offset;
    const std::string formula = offset == 0 ? "SocketPort" : "SocketPort + 1";
    std::string text = "port " + std::to_string(port);
    if (socketPort < 0) {
        text += " (SocketPort " + std::to_string(socketPort) +
                " is negative, and no port: " + formula + " = " + std::to_string(written) +
                " is taken as its low 16 bits)";
    } else if (port != written) {
        text += " (" + formula + " = " + std::to_string(written) + ", cut to 16 bits)";
    }
    if (port == 0) {
        text += ", a free port the system picks, which no peer can know";
    }
    return text;
}

}  // namespace

std::string TransportDescription(const TabletSettings& s, int kind) {
    switch (kind) {
        case kUsbPipeTransport:
            return NthPad(s, "devices of the legacy USB pipe driver");
        case kTcpClientTransport:
            return "TCP client to " + FormatIpv4Address(s.TabletIpAddress) + ", " +
                   PortText(ClientPort(s.SocketPort), s.SocketPort, 0);
        case kHidTransport:
            return NthPad(s, "USB HID pads with vendor id 1d5b");
        case kTcpListenerTransport:
            return "TCP listener on " + PortText(ListenerPort(s.SocketPort), s.SocketPort, 1) +
                   ", for a bridge presenting \"" + s.TabletPortPath + "\" within " +
                   std::to_string(s.SocketTimeout) + " ms, " +
                   DescribeBridgeAddresses(ParseBridgeAddresses(s.BridgeAddresses));
        case kNoTransport1:
        case kNoTransport4:
            return "none: OPEN answers that no pad was found";
        default:
            return SerialDevice(s);
    }
}

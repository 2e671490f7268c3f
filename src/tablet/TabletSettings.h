#pragma once

#include <cstdint>

// The pad settings, one field per key of the settings file plus three of its own. A plain
// record with value semantics.
struct TabletSettings {
    int16_t TabletComPort = 0;  // serial port number, or 1-based device index (HID, USB pipe)
    int32_t TabletBaudRate = 0;
    int16_t TabletType = 0;    // low four bits: the transport kind
    int16_t TabletXStart = 0;  // the raw pad window
    int16_t TabletYStart = 0;
    int16_t TabletXStop = 0;
    int16_t TabletYStop = 0;
    int16_t TabletLogicalXSize = 0;  // scaled x runs from 0 to this value
    int16_t TabletLogicalYSize = 0;
    int32_t TabletResolution = 0;
    int32_t TabletRotation = 0;  // 0, 90, 180 or 270; any other value acts as 0
    int32_t Win95Usb = 0;
    bool UseMultiUsb = false;  // several pads attached: TabletComPort selects one
    bool EnableLogging = false;
    bool CheckConnectedOnOpen = false;  // after a serial open, require the DSR line
    uint32_t TabletIpAddress = 0;       // the TCP client's peer, in network byte order
    int32_t TabletTimingAdvance = 0;
    int32_t TabletFilterPoints = 0;
    int16_t LCDType = 0;
    int16_t LCDXSize = 0;
    int16_t LCDYSize = 0;
    int16_t LCDXStart = 0;
    int16_t LCDYStart = 0;
    int16_t LCDXStop = 0;
    int16_t LCDYStop = 0;
    int32_t LCDWriteDelay = 0;
    int32_t LCDRetryCount = 0;
    bool LCDCompressMode = false;
    int32_t LCDFastCompressionFactor = 0;
    int32_t LCDSlowCompressionFactor = 0;
    bool LCDZCompression = false;
    bool TranslateBitmapEnable = false;
    int32_t SocketTimeout = 0;  // milliseconds the TCP listener waits for its peer
    int32_t TextThreshold = 0;
    int32_t SocketPort = 0;         // the TCP client connects to it; the listener listens on it + 1
    char TabletPortPath[128] = {};  // serial name prefix; the TCP listener's peer identity
    // The addresses the TCP listener takes a bridge from (tablet/BridgeAddresses.h); empty: any.
    char BridgeAddresses[256] = {};
    char SettingsFileOverride[256] = {};
    char SettingsFileName[256] = {};
};

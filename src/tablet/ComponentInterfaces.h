#pragma once

#include <cstdint>

// The interfaces through which a Tablet reaches its input-processing thread and its five
// transports. Each implementation is created by the Tablet with a pointer to it (its owner)
// and lives as long as the Tablet.

// Controller of the input-processing thread.
class ProcessSerialData {
public:
    virtual ~ProcessSerialData() = default;
    // Resets the byte ring and starts the thread.
    virtual void StartSerialInput() = 0;
    // Makes the thread end and waits until it has ended.
    virtual void CloseProcessInputData() = 0;
    // Framing-state controls.
    virtual void ResetSerialInput() = 0;
    virtual void SyncSerialInput() = 0;
    virtual void EndSerialReset() = 0;
};

// InitTablet opens the pad and starts the transport's reader thread: true means the pad (or
// peer) is connected and the reader runs; false leaves nothing open. TabletClose stops the
// reader, waits for it to end and releases the device; afterwards the reader no longer touches
// the Tablet. TabletWrite sends bytes to the pad.

class SerialIoIF {
public:
    virtual ~SerialIoIF() = default;
    virtual bool InitTablet() = 0;
    virtual bool TabletClose() = 0;
    virtual bool TabletWrite(const uint8_t* data, int32_t length) = 0;
    // The serial settings take effect at the next InitTablet.
    virtual void SetComPort(int32_t port) = 0;
    virtual int32_t GetComPort() = 0;
    virtual void SetBaudRate(int32_t baudRate) = 0;
    // The port's DSR line.
    virtual bool CheckConnected() = 0;
    // An empty text leaves the stored prefix unchanged.
    virtual void SetPortPath(const char* path) = 0;
};

class HidIoIF {
public:
    virtual ~HidIoIF() = default;
    virtual bool InitTablet() = 0;
    virtual bool TabletClose() = 0;
    virtual bool TabletWrite(const uint8_t* data, int32_t length) = 0;
    virtual int32_t SendModeReport(bool flag) = 0;
    // Whether a write can reach the open pad at all: its output reports carry at least a byte.
    virtual bool CanWrite() const = 0;
    // A new device search that leaves an open pad untouched.
    virtual bool CheckConnected() = 0;
};

class UsbIoIF {
public:
    virtual ~UsbIoIF() = default;
    virtual bool InitTablet() = 0;
    virtual bool TabletClose() = 0;
};

class SocketIoIF {
public:
    virtual ~SocketIoIF() = default;
    virtual bool InitTablet() = 0;
    virtual bool TabletClose() = 0;
    virtual bool TabletWrite(const uint8_t* data, int32_t length) = 0;
};

class NewSocketIoIF {
public:
    virtual ~NewSocketIoIF() = default;
    virtual bool InitTablet() = 0;
    virtual bool TabletClose() = 0;
    virtual bool TabletWrite(const uint8_t* data, int32_t length) = 0;
};

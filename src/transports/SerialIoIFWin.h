#pragma once

#include "platform/SerialPort.h"
#include "tablet/ComponentInterfaces.h"

class Tablet;

// The serial port transport: a pad on a COM port. The port's watch thread hands every block it
// receives to the owner's FeedReport; the DSR line tells whether the pad is there.
class SerialIoIFWin final : public SerialIoIF {
public:
    explicit SerialIoIFWin(Tablet* owner) : owner(owner) {}
    bool InitTablet() override;
    bool TabletClose() override;
    bool TabletWrite(const uint8_t* data, int32_t length) override;
    void SetComPort(int32_t port) override;
    int32_t GetComPort() override;
    void SetBaudRate(int32_t baudRate) override;
    bool CheckConnected() override;
    void SetPortPath(const char* path) override;

private:
    Tablet* owner;
    platform::SerialPort serialPort;
};

#include "transports/SerialIoIFWin.h"

#include "tablet/DiagnosticLog.h"
#include "tablet/Tablet.h"

bool SerialIoIFWin::InitTablet() {
    Tablet* const tablet = owner;
    const auto received = [tablet](const uint8_t* bytes, int32_t length) {
        tablet->FeedReport(bytes, length);
    };
    const auto lineGone = [tablet] {
        WriteLogLine("CommWatchThread: serial port gone, no more reads");
        tablet->ReportPadGone();
    };
    return serialPort.OpenPort(received, lineGone) == 1;
}

bool SerialIoIFWin::TabletClose() {
    owner->ReleaseWaitingProducers();  // a watch thread waiting for room in the ring goes on
    serialPort.ClosePort();
    return true;
}

bool SerialIoIFWin::TabletWrite(const uint8_t* data, int32_t length) {
    if (data != nullptr && length > 0) {
        serialPort.WritePort(data, length);
    }
    return true;
}

void SerialIoIFWin::SetComPort(int32_t port) {
    serialPort.SetComPort(port);
}

int32_t SerialIoIFWin::GetComPort() {
    return serialPort.GetComPort();
}

void SerialIoIFWin::SetBaudRate(int32_t baudRate) {
    serialPort.SetBaudRate(baudRate);
}

bool SerialIoIFWin::CheckConnected() {
    return serialPort.IsDsrOn() == 1;
}

void SerialIoIFWin::SetPortPath(const char* path) {
    if (path != nullptr && path[0] != '\0') {
        serialPort.SetPortPath(path);
    }
}

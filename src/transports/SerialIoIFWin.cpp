#include "transports/SerialIoIFWin.h"

bool SerialIoIFWin::InitTablet() { return false; }
bool SerialIoIFWin::TabletClose() { return true; }
bool SerialIoIFWin::TabletWrite(const uint8_t*, int32_t) { return true; }
void SerialIoIFWin::SetComPort(int32_t port) { comPort = port; }
int32_t SerialIoIFWin::GetComPort() { return comPort; }
void SerialIoIFWin::SetBaudRate(int32_t) {}
bool SerialIoIFWin::CheckConnected() { return false; }
void SerialIoIFWin::SetPortPath(const char*) {}


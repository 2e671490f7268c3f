#include "transports/SocketIoIFWin.h"

bool SocketIoIFWin::InitTablet() { return false; }
bool SocketIoIFWin::TabletClose() { return true; }
bool SocketIoIFWin::TabletWrite(const uint8_t*, int32_t) { return false; }


#include "transports/NewSocketIoIFWin.h"

bool NewSocketIoIFWin::InitTablet() { return false; }
bool NewSocketIoIFWin::TabletClose() { return true; }
bool NewSocketIoIFWin::TabletWrite(const uint8_t*, int32_t) { return false; }


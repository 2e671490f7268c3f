#include "transports/HidIoIFWin.h"

bool HidIoIFWin::InitTablet() { return false; }
bool HidIoIFWin::TabletClose() { return true; }
bool HidIoIFWin::TabletWrite(const uint8_t*, int32_t) { return true; }
int32_t HidIoIFWin::SendModeReport(bool) { return 0; }
bool HidIoIFWin::CheckConnected() { return false; }


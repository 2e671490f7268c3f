#include "transports/UsbIoIFWin.h"

bool UsbIoIFWin::InitTablet() { return false; }
bool UsbIoIFWin::TabletClose() { return true; }


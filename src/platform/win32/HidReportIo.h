#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "platform/HidDevices.h"

namespace platform {

// Writes reports with one synchronous WriteFile each; takes over the handle.
std::unique_ptr<HidDevice> MakeHidClassDevice(HANDLE device);

// Reads reports of inputReportLength bytes from a handle opened with FILE_FLAG_OVERLAPPED;
// takes over the handle. nullptr (and the handle closed) when its events cannot be created.
std::unique_ptr<HidReportReader> MakeHidClassReader(HANDLE device, int32_t inputReportLength);

}  // namespace platform

#pragma once

#include <cstdint>
#include <memory>

#include "platform/HidDevices.h"

namespace platform {

// Report I/O on an open hidraw node; both take over the file descriptor.
std::unique_ptr<HidDevice> MakeHidrawDevice(int fd);

// A reader that presents the node's reports in the Windows layout. nullptr (and the descriptor
// closed) when its cancel signal cannot be created.
std::unique_ptr<HidReportReader> MakeHidrawReader(int fd, bool numberedReports,
                                                  int32_t inputReportLength);

}  // namespace platform

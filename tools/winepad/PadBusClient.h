#pragma once

#include <windows.h>
// windows.h first: the request codes build on its types.
#include <winioctl.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "driver/PadControl.h"

namespace winepad {

using Bytes = std::vector<uint8_t>;

// A report the host sent to a pad, as the bus recorded it.
struct SentReport {
    uint32_t padId = 0;
    uint32_t kind = 0;  // WinePadSentKind
    uint32_t reportId = 0;
    Bytes bytes;
};

// An overlapped handle on the pad bus's control device, for any number of threads. Every call
// blocks until the bus has answered.
class PadBusClient {
public:
    // nullptr when the bus is not there (not installed, or its driver not started).
    static std::unique_ptr<PadBusClient> Open();
    explicit PadBusClient(HANDLE control) : control(control) {}
    ~PadBusClient() { CloseHandle(control); }
    PadBusClient(const PadBusClient&) = delete;
    PadBusClient& operator=(const PadBusClient&) = delete;

    // The new pad's id; nothing when the bus refused it.
    std::optional<uint32_t> Plug(uint16_t vendorId, uint16_t productId, const Bytes& descriptor);
    std::optional<uint32_t> PlugPort(uint32_t number);
    std::optional<uint32_t> PlugPipe();
    bool Unplug(uint32_t padId);
    // What the pad sends: one input report as the device sends it, received bytes, or packets.
    bool Input(uint32_t padId, const Bytes& report);
    bool Set(uint32_t padId, WinePadSettingKind kind, uint32_t value);
    std::optional<WinePadPortState> PortState(uint32_t padId);
    // Waits for the next report the host sends to any pad; nothing when `stop` was signalled
    // first or the request failed.
    std::optional<SentReport> NextSent(HANDLE stop);

private:
    bool Control(DWORD code, const Bytes& in, Bytes* out, HANDLE stop = nullptr);
    std::optional<uint32_t> NewPadId(DWORD code, const Bytes& in);
    HANDLE control;
};

}  // namespace winepad

#include "platform/HidDevices.h"

#include <atomic>

namespace platform {
namespace {

std::atomic<HidDevices*> replacementDevices{nullptr};

HidDevices& PlatformHidDevices() {
    static const std::unique_ptr<HidDevices> devices = CreatePlatformHidDevices();
    return *devices;
}

}  // namespace

HidDevices& SystemHidDevices() {
    HidDevices* replacement = replacementDevices.load();
    return replacement != nullptr ? *replacement : PlatformHidDevices();
}

HidDevices* SetHidDevicesForTesting(HidDevices* replacement) {
    return replacementDevices.exchange(replacement);
}

}  // namespace platform

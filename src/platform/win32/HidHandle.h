#pragma once

#include <windows.h>

namespace platform {

// Owns a file or event handle of the HID backend and closes it with the object.
class HidHandle {
public:
    explicit HidHandle(HANDLE handle = INVALID_HANDLE_VALUE) : handle(handle) {}
    ~HidHandle() {
        if (IsValid()) {
            CloseHandle(handle);
        }
    }
    HidHandle(const HidHandle&) = delete;
    HidHandle& operator=(const HidHandle&) = delete;

    // Events are null when they cannot be created, files INVALID_HANDLE_VALUE.
    bool IsValid() const { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle; }
    HANDLE release() {
        const HANDLE released = handle;
        handle = INVALID_HANDLE_VALUE;
        return released;
    }

private:
    HANDLE handle;
};

}  // namespace platform

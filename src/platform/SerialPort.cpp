#include "platform/SerialPort.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "platform/Threads.h"

namespace platform {
namespace {

// watchThreadId from the creation of the watch thread until the thread stores its own id, so
// that a close never mistakes a thread that has not run yet for one that has ended.
constexpr uint32_t kWatchThreadStarting = 0xFFFFFFFF;

std::atomic<ModemStatus*> replacementModemStatus{nullptr};

}  // namespace

bool FormPortName(const char* prefix, int32_t port, char (&name)[kPortNameSize]) {
    const int length = port < 10 ? std::snprintf(name, sizeof name, "%s%d", prefix, port)
                                 : std::snprintf(name, sizeof name, "\\\\.\\%s%d", prefix, port);
    if (length < 0 || length >= kPortNameSize) {
        name[0] = '\0';
        return false;
    }
    return true;
}

ModemStatus* SetModemStatusForTesting(ModemStatus* replacement) {
    return replacementModemStatus.exchange(replacement);
}

SerialPort::~SerialPort() {
    ClosePort();
}

void SerialPort::SetPortPath(const char* path) {
    std::strncpy(portPath, path, sizeof portPath - 1);
    portPath[sizeof portPath - 1] = '\0';
}

int32_t SerialPort::OpenPort(ReceivedBytesHandler receiver, LineGoneHandler goneHandler) {
    if (portOpen.load() || portHandle != -1) {
        return 0;
    }
    owner = std::move(receiver);
    lineGone = std::move(goneHandler);
    char name[kPortNameSize];
    if (!FormPortName(portPath, comPort, name) || !OpenDevice(name)) {
        return 0;
    }
    if (!ConfigurePort()) {
        ReleaseDevice();
        return 0;
    }
    portOpen = true;
    watchThreadId = kWatchThreadStarting;
    try {
        watchThread = std::thread(&SerialPort::CommWatchThread, this);
    } catch (const std::exception&) {
        portOpen = false;
        watchThreadId = 0;
        ReleaseDevice();
        return 0;
    }
    RaiseModemLines();
    return 1;
}

void SerialPort::ClosePort() {
    if (!portOpen.load()) {
        return;
    }
    portOpen = false;
    WakeWatchThread();
    while (watchThreadId.load() != 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    watchThread.join();
    ReleaseDevice();
}

int32_t SerialPort::IsDsrOn() {
    if (portHandle == -1) {
        return 0;
    }
    ModemStatus* const replacement = replacementModemStatus.load();
    return replacement != nullptr ? replacement->IsDsrOn() : ReadDsrLine();
}

void SerialPort::CommWatchThread() {
    watchThreadId = CurrentThreadId();
    RaiseCurrentThreadPriority();
    while (portOpen.load()) {
        const LineWait wait = WaitForReceivedBytes();
        if (!portOpen.load()) {
            break;
        }
        if (wait == LineWait::kReceived) {
            DrainReceivedBytes();
        } else if (wait == LineWait::kGone) {
            if (lineGone) {
                lineGone();
            }
            AwaitWake();
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    watchThreadId = 0;
}

void SerialPort::DrainReceivedBytes() {
    uint8_t block[kWatchReadBlock];
    while (portOpen.load()) {
        const int32_t count = ReadPort(block, kWatchReadBlock);
        if (count <= 0) {
            return;
        }
        owner(block, count);
    }
}

}  // namespace platform

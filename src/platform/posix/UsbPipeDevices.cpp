#include "platform/UsbPipeDevices.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "platform/Directories.h"

namespace platform {
namespace {

constexpr const char* kUsbPipeNodePrefix = "inkora-usbpipe";

int Fd(intptr_t handle) {
    return static_cast<int>(handle);
}

// $INKORA_ROOT/dev stands for the device directory when INKORA_ROOT is set.
std::string DeviceDirectory() {
    const char* root = std::getenv("INKORA_ROOT");
    return root == nullptr ? std::string("/dev") : PathInDirectory(root, "dev");
}

bool IsUsbPipeNode(const std::string& directory, const char* name) {
    if (std::string(name).rfind(kUsbPipeNodePrefix, 0) != 0) {
        return false;
    }
    struct stat status {};
    return stat(PathInDirectory(directory, name).c_str(), &status) == 0 && !S_ISDIR(status.st_mode);
}

}  // namespace

uint32_t ListDeviceInterfaces(const InterfaceClassGuid& interfaceClass,
                              std::vector<std::string>& paths) {
    paths.clear();
    if (!(interfaceClass == kUsbPipeInterfaceClass)) {
        return 0;
    }
    const std::string directory = DeviceDirectory();
    DIR* entries = opendir(directory.c_str());
    if (entries == nullptr) {
        return 0;
    }
    while (const dirent* entry = readdir(entries)) {
        if (IsUsbPipeNode(directory, entry->d_name)) {
            paths.push_back(PathInDirectory(directory, entry->d_name));
        }
    }
    closedir(entries);
    std::sort(paths.begin(), paths.end());
    return 0;
}

UsbPipe::~UsbPipe() {
    Close();
}

uint32_t UsbPipe::Open(const std::string& devicePath) {
    // Read-only: the pipe transport never writes. Non-blocking, so that a node whose driver (or,
    // simulated, whose writer) is not there yet opens; reads wait in poll instead.
    const int fd = open(devicePath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return static_cast<uint32_t>(errno);
    }
    const int cancel = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (cancel < 0) {
        const int error = errno;
        close(fd);
        return static_cast<uint32_t>(error);
    }
    handle = fd;
    cancelHandle = cancel;
    return 0;
}

UsbPipeRead UsbPipe::ReadPacket(uint8_t (&packet)[kPacketSize], int32_t& count) {
    count = 0;
    if (handle == -1) {
        return UsbPipeRead::kFailed;
    }
    // One read is one packet, whatever it delivers: a short delivery must not take bytes of the
    // next packet, or every later packet would be read out of step.
    for (;;) {
        pollfd waits[2] = {{Fd(handle), POLLIN, 0}, {Fd(cancelHandle), POLLIN, 0}};
        if (poll(waits, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return UsbPipeRead::kFailed;
        }
        if (waits[1].revents != 0) {
            return UsbPipeRead::kFailed;
        }
        const ssize_t got = read(Fd(handle), packet, sizeof packet);
        if (got > 0) {
            count = static_cast<int32_t>(got);
            return UsbPipeRead::kPacket;
        }
        if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
            // End of data (a simulated pad's writer has gone, and another may come) or a device
            // error. Only a device that has gone ends the reader; any other error (EIO from a
            // device that comes back) is tried again.
            lastReadError = got < 0 ? static_cast<uint32_t>(errno) : 0;
            return got < 0 && errno == ENODEV ? UsbPipeRead::kGone : UsbPipeRead::kFailed;
        }
    }
}

bool UsbPipe::CancelReads(std::chrono::milliseconds) {
    if (cancelHandle == -1) {
        return true;
    }
    // The signal ends a read's wait at once: no read outlives it.
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(Fd(cancelHandle), &one, sizeof one);
    return true;
}

void UsbPipe::Close() {
    if (handle == -1) {
        return;
    }
    close(Fd(handle));
    close(Fd(cancelHandle));
    handle = -1;
    cancelHandle = -1;
}

}  // namespace platform

#include "platform/posix/ExclusiveLines.h"

#include <sys/ioctl.h>

#include <algorithm>
#include <mutex>
#include <vector>

namespace platform {
namespace {

// Held while a descriptor is noted, forgotten or released, so that none is closed while its
// mark is being taken off.
std::mutex linesLock;
std::vector<int> exclusiveLines;

}  // namespace

void NoteExclusiveLine(int fd) {
    std::lock_guard<std::mutex> hold(linesLock);
    exclusiveLines.push_back(fd);
}

void ForgetExclusiveLine(int fd) {
    std::lock_guard<std::mutex> hold(linesLock);
    exclusiveLines.erase(std::remove(exclusiveLines.begin(), exclusiveLines.end(), fd),
                         exclusiveLines.end());
}

void ReleaseExclusiveLines() {
    std::lock_guard<std::mutex> hold(linesLock);
    for (const int fd : exclusiveLines) {
        ioctl(fd, TIOCNXCL);
    }
}

}  // namespace platform

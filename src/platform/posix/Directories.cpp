#include "platform/Directories.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>

namespace platform {
namespace {

// INKORA_ROOT stands for the Windows drive: $INKORA_ROOT/windows and $INKORA_ROOT/temp.
std::string UnderRootOr(const char* below, const char* fallback) {
    const char* root = std::getenv("INKORA_ROOT");
    if (root == nullptr) {
        return fallback;
    }
    return PathInDirectory(root, below);
}

}  // namespace

std::string WindowsDirectory() {
    return UnderRootOr("windows", "/etc");
}

std::string TempDirectory() {
    return UnderRootOr("temp", "/tmp");
}

std::string PathInDirectory(const std::string& directory, const std::string& name) {
    if (!directory.empty() && directory.back() == '/') {
        return directory + name;
    }
    return directory + "/" + name;
}

bool CanOpenForReading(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    close(fd);
    return true;
}

}  // namespace platform

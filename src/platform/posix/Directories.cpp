#include "platform/Directories.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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
    // Only a regular file passes, as on Windows, where a directory does not open as a file. The
    // open never waits: a FIFO without a writer would block it, a terminal could become ours.
    struct stat status {};
    if (stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return false;
    }
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool regular = fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    close(fd);
    return regular;
}

std::FILE* CreateTextFile(const std::string& path) {
    // The open never waits (a FIFO without a reader would block it) and never takes a terminal;
    // the file is emptied only once it is known to be a regular one.
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) {
        return nullptr;
    }
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        close(fd);
        errno = EINVAL;
        return nullptr;
    }
    std::FILE* file = nullptr;
    if (ftruncate(fd, 0) == 0 && fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0) {
        file = fdopen(fd, "w");
    }
    if (file == nullptr) {
        close(fd);
    }
    return file;
}

}  // namespace platform

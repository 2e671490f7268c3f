#include "platform/Process.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "platform/Directories.h"
#include "platform/posix/ExclusiveLines.h"

namespace platform {
namespace {

bool EqualsIgnoringAsciiCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The executable of a process: the target of /proc/PID/exe where this process may read it,
// else the first word of its command line.
std::string ExecutableOf(const std::string& pidDirectory) {
    char target[4096];
    const ssize_t n = readlink((pidDirectory + "/exe").c_str(), target, sizeof target - 1);
    if (n > 0) {
        std::string path(target, static_cast<size_t>(n));
        const std::string deleted = " (deleted)";
        if (path.size() > deleted.size() &&
            path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0) {
            path.resize(path.size() - deleted.size());
        }
        return path;
    }
    std::ifstream cmdline(pidDirectory + "/cmdline", std::ios::binary);
    std::string argv0;
    std::getline(cmdline, argv0, '\0');
    return argv0;
}

bool IsProcessDirectory(const char* name) {
    if (*name == '\0') {
        return false;
    }
    for (const char* p = name; *p != '\0'; ++p) {
        if (!std::isdigit(static_cast<unsigned char>(*p))) {
            return false;
        }
    }
    return true;
}

// Whether the process of that /proc folder runs as this process's user: the folder belongs to
// the process's effective user.
bool RunsAsThisUser(const std::string& pidDirectory) {
    struct stat status {};
    return stat(pidDirectory.c_str(), &status) == 0 && status.st_uid == geteuid();
}

// Whether a lock file is the user's alone: a regular file of this user's, under no other name
// and open to no one else. In a shared temp folder another user can place a hard link to a file
// of this user's under the lock's name, and hold a lock on it through a descriptor of their own;
// such a file is not taken.
bool IsOwnPrivateFile(int fd) {
    struct stat status {};
    return fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_nlink == 1 &&
           status.st_uid == geteuid() && (status.st_mode & (S_IRWXG | S_IRWXO)) == 0;
}

// The user's own lock file, opened without following a link, or -1 when the name holds anything
// else: a failed lock lets the host go on (the process count alone then guards), where a foreign
// holder would block it.
int OpenOwnLockFile(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd >= 0 && !IsOwnPrivateFile(fd)) {
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

int CountOwnProcessesNamed(const std::string& programName) {
    DIR* proc = opendir("/proc");
    if (proc == nullptr) {
        return 0;
    }
    int count = 0;
    while (const dirent* entry = readdir(proc)) {
        if (!IsProcessDirectory(entry->d_name)) {
            continue;
        }
        const std::string pidDirectory = std::string("/proc/") + entry->d_name;
        if (RunsAsThisUser(pidDirectory) &&
            EqualsIgnoringAsciiCase(BaseName(ExecutableOf(pidDirectory)), programName)) {
            ++count;
        }
    }
    closedir(proc);
    return count;
}

NamedInstanceLock::NamedInstanceLock(const std::string& name) {
    const std::string path =
        PathInDirectory(TempDirectory(), name + "." + std::to_string(geteuid()) + ".lock");
    const int fd = OpenOwnLockFile(path);
    if (fd < 0) {
        return;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
        outcome_ = Outcome::Acquired;
    } else {
        outcome_ = errno == EWOULDBLOCK ? Outcome::AlreadyHeld : Outcome::Failed;
    }
    handle_ = fd;
}

NamedInstanceLock::~NamedInstanceLock() {
    Close();
}

void NamedInstanceLock::Close() {
    if (handle_ >= 0) {
        close(static_cast<int>(handle_));
        handle_ = -1;
    }
}

bool InitialiseProcess() {
    return signal(SIGPIPE, SIG_IGN) != SIG_ERR;
}

void EndProcess(int exitCode) {
    ReleaseExclusiveLines();
    std::_Exit(exitCode);
}

}  // namespace platform

#include "PseudoTerminal.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace testsupport {

PseudoTerminal::PseudoTerminal() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
        throw std::runtime_error("no pseudo-terminal");
    }
    const std::string slave = ptsname(master_);
    number_ = std::stoi(slave.substr(slave.rfind('/') + 1));
}

PseudoTerminal::~PseudoTerminal() {
    CloseMaster();
}

void PseudoTerminal::Write(const std::vector<uint8_t>& bytes) const {
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = write(master_, bytes.data() + sent, bytes.size() - sent);
        if (n <= 0) {
            throw std::runtime_error("write to the pseudo-terminal failed");
        }
        sent += static_cast<size_t>(n);
    }
}

std::vector<uint8_t> PseudoTerminal::Read(size_t count, int timeoutMs) const {
    // While no program holds the slave side open, the master reports a hang-up; that is waited
    // out like silence, since the program under test may open the line later.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::vector<uint8_t> bytes;
    uint8_t block[256];
    while (bytes.size() < count && std::chrono::steady_clock::now() < deadline) {
        pollfd wait{master_, POLLIN, 0};
        const ssize_t n = poll(&wait, 1, 10) > 0 ? read(master_, block, sizeof block) : 0;
        if (n > 0) {
            bytes.insert(bytes.end(), block, block + n);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    return bytes;
}

bool PseudoTerminal::SlaveIsExclusive() const {
    const std::string slave = "/dev/pts/" + std::to_string(number_);
    const int fd = open(slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == EBUSY) {
            return true;
        }
        throw std::runtime_error("cannot open " + slave);
    }
    int exclusive = 0;
    const int asked = ioctl(fd, TIOCGEXCL, &exclusive);
    close(fd);
    if (asked != 0) {
        throw std::runtime_error("TIOCGEXCL failed on " + slave);
    }
    return exclusive != 0;
}

void PseudoTerminal::CloseMaster() {
    if (master_ >= 0) {
        close(master_);
        master_ = -1;
    }
}

}  // namespace testsupport

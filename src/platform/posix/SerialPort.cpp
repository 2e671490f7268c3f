#include "platform/SerialPort.h"

// termios2 (and not <termios.h>, whose struct it would clash with): it carries any baud rate.
#include <asm/termbits.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>

#include "platform/posix/ExclusiveLines.h"

namespace platform {
namespace {

constexpr int kWriteTimeoutPerByteMs = 50;
// A rate the driver rounds by more than this (in parts per thousand) counts as unsupported.
constexpr int64_t kBaudToleranceDenominator = 1000;
constexpr int64_t kBaudTolerance = 30;

int Fd(intptr_t handle) {
    return static_cast<int>(handle);
}

// "COMn" (ASCII case ignored, n from 1): n; else 0.
int ComPortNumber(const std::string& name) {
    if (name.size() < 4 || name.size() > 12) {
        return 0;
    }
    for (size_t i = 0; i < 3; ++i) {
        if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) {
            return 0;
        }
    }
    int number = 0;
    for (size_t i = 3; i < name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i])) || number > 99999) {
            return 0;
        }
        number = number * 10 + (name[i] - '0');
    }
    return number;
}

// The Bnnn code of a standard rate, or BOTHER for any other.
tcflag_t SpeedCode(int32_t baudRate) {
    static constexpr struct {
        int32_t rate;
        tcflag_t code;
    } kStandardRates[] = {
        {50, B50},           {75, B75},           {110, B110},         {134, B134},
        {150, B150},         {200, B200},         {300, B300},         {600, B600},
        {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
        {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
        {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
        {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
        {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
        {3500000, B3500000}, {4000000, B4000000},
    };
    for (const auto& standard : kStandardRates) {
        if (standard.rate == baudRate) {
            return standard.code;
        }
    }
    return BOTHER;
}

// Raw 8-bit bytes, odd parity checked (bytes that fail it are dropped rather than passed on
// corrupted), one stop bit, no flow control, the receiver on, modem status lines not awaited.
void SetPadLineSettings(termios2& line, int32_t baudRate) {
    line.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IUCLC | IXON |
                      IXOFF | IXANY | IMAXBEL);
    line.c_iflag |= INPCK | IGNPAR;
    line.c_oflag &= ~OPOST;
    line.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    line.c_cflag &= ~(CSIZE | CSTOPB | CRTSCTS | CMSPAR | CBAUD | (CBAUD << IBSHIFT));
    line.c_cflag |= CS8 | PARENB | PARODD | CREAD | CLOCAL | SpeedCode(baudRate);
    line.c_ispeed = static_cast<speed_t>(baudRate);
    line.c_ospeed = static_cast<speed_t>(baudRate);
    // Reads return at once with what has arrived.
    line.c_cc[VMIN] = 0;
    line.c_cc[VTIME] = 0;
}

bool RateIsClose(speed_t actual, int32_t wanted) {
    const int64_t difference = static_cast<int64_t>(actual) - wanted;
    return std::abs(difference) * kBaudToleranceDenominator <= kBaudTolerance * wanted;
}

int BytesWaiting(int fd) {
    int count = 0;
    if (ioctl(fd, FIONREAD, &count) != 0) {
        return 0;
    }
    return count;
}

}  // namespace

std::string DevicePathOfPortName(const std::string& portName) {
    static const std::string kDeviceNamespace = "\\\\.\\";
    std::string path = portName;
    if (path.starts_with(kDeviceNamespace)) {
        path.erase(0, kDeviceNamespace.size());
    }
    const int number = ComPortNumber(path);
    if (number >= 1) {
        return "/dev/ttyS" + std::to_string(number - 1);
    }
    return path;
}

bool SerialPort::OpenDevice(const char* portName) {
    const std::string path = DevicePathOfPortName(portName);
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    // Exclusive like a Windows COM port: the lock keeps out other programs that lock it,
    // TIOCEXCL every later open.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || ioctl(fd, TIOCEXCL) != 0) {
        close(fd);
        return false;
    }
    const int wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake < 0) {
        ioctl(fd, TIOCNXCL);
        close(fd);
        return false;
    }
    ioctl(fd, TCFLSH, TCIOFLUSH);
    NoteExclusiveLine(fd);
    portHandle = fd;
    wakeHandle = wake;
    return true;
}

bool SerialPort::ConfigurePort() {
    const int fd = Fd(portHandle);
    termios2 line{};
    if (baudRate <= 0 || ioctl(fd, TCGETS2, &line) != 0) {
        return false;
    }
    SetPadLineSettings(line, baudRate);
    if (ioctl(fd, TCSETS2, &line) != 0) {
        return false;
    }
    // The driver stores the rate it could set; one far from the wanted rate is refused.
    termios2 applied{};
    if (ioctl(fd, TCGETS2, &applied) != 0 || !RateIsClose(applied.c_ospeed, baudRate)) {
        return false;
    }
    ioctl(fd, TCFLSH, TCIOFLUSH);
    return true;
}

void SerialPort::RaiseModemLines() {
    // A pseudo-terminal has no modem lines and refuses this; nothing is lost there.
    int lines = TIOCM_DTR | TIOCM_RTS;
    ioctl(Fd(portHandle), TIOCMBIS, &lines);
}

SerialPort::LineWait SerialPort::WaitForReceivedBytes() {
    pollfd waits[2] = {{Fd(portHandle), POLLIN, 0}, {Fd(wakeHandle), POLLIN, 0}};
    if (poll(waits, 2, -1) <= 0 || waits[1].revents != 0) {
        return LineWait::kNothing;
    }
    if (BytesWaiting(waits[0].fd) > 0) {
        return LineWait::kReceived;
    }
    // A hung-up terminal (an unplugged adapter, a pseudo-terminal whose other end closed) stays
    // hung up: bytes received before are read first.
    return (waits[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0 ? LineWait::kGone
                                                                    : LineWait::kNothing;
}

void SerialPort::AwaitWake() {
    pollfd wake = {Fd(wakeHandle), POLLIN, 0};
    while (poll(&wake, 1, -1) < 0 && errno == EINTR) {
    }
}

void SerialPort::WakeWatchThread() {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(Fd(wakeHandle), &one, sizeof one);
}

int32_t SerialPort::ReadPort(uint8_t* buffer, int32_t maximum) {
    const int count = std::min(maximum, static_cast<int32_t>(BytesWaiting(Fd(portHandle))));
    if (count <= 0) {
        return 0;
    }
    const ssize_t got = read(Fd(portHandle), buffer, static_cast<size_t>(count));
    return got > 0 ? static_cast<int32_t>(got) : 0;
}

int32_t SerialPort::WritePort(const uint8_t* buffer, int32_t length) {
    if (portHandle == -1 || length <= 0) {
        return 0;
    }
    const int fd = Fd(portHandle);
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(int64_t{kWriteTimeoutPerByteMs} * length);
    int32_t sent = 0;
    while (sent < length) {
        const ssize_t count = write(fd, buffer + sent, static_cast<size_t>(length - sent));
        if (count > 0) {
            sent += static_cast<int32_t>(count);
            continue;
        }
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0 && errno != EAGAIN) {
            return sent == 0 ? 0 : 1;
        }
        // The driver's queue is full: wait for room until the write's time is up.
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return 1;
        }
        pollfd room{fd, POLLOUT, 0};
        poll(&room, 1, static_cast<int>(left.count()));
    }
    return 1;
}

int32_t SerialPort::ReadDsrLine() {
    int lines = 0;
    if (ioctl(Fd(portHandle), TIOCMGET, &lines) != 0) {
        // No modem-control lines (a pseudo-terminal): nothing there can show the pad absent.
        return errno == ENOTTY || errno == EINVAL ? 1 : 0;
    }
    return (lines & TIOCM_DSR) != 0 ? 1 : 0;
}

void SerialPort::ReleaseDevice() {
    const int fd = Fd(portHandle);
    int dtr = TIOCM_DTR;
    ioctl(fd, TIOCMBIC, &dtr);
    ioctl(fd, TCFLSH, TCIOFLUSH);
    // The exclusive bit outlives the descriptor on a pseudo-terminal; give it back.
    ForgetExclusiveLine(fd);
    ioctl(fd, TIOCNXCL);
    close(fd);
    close(Fd(wakeHandle));
    portHandle = -1;
    wakeHandle = -1;
}

}  // namespace platform

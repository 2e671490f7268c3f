#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <stdexcept>

#include "PadPeer.h"
#include "padsim/PacketEncoder.h"

namespace probe {
namespace {

constexpr uint32_t kSerialNumber = 123456;
constexpr uint32_t kModelNumber = 5;

class PseudoTerminalPad final : public PadPeer {
public:
    explicit PseudoTerminalPad(bool answering) : PadPeer(answering) {
        master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        int number = -1;
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 ||
            ioctl(master, TIOCGPTN, &number) != 0) {
            throw std::runtime_error("no pseudo-terminal");
        }
        lineNumber = number;
    }
    ~PseudoTerminalPad() override {
        Join();
        close(master);
    }

    std::string SettingsLines() const override {
        return "TabletType=0\nTabletPortPath=/dev/pts/\nTabletComPort=" +
               std::to_string(lineNumber) + "\n";
    }

    bool SendPacket(const uint8_t* bytes, size_t length) override {
        return write(master, bytes, length) == static_cast<ssize_t>(length);
    }

private:
    // Every byte the host sends is a request. While nobody holds the slave side the master
    // reports a hang-up; the pad then waits a little before it looks again.
    void Serve() override {
        const padsim::StreamPacket answer =
            padsim::EncodeNumbersAnswer(kSerialNumber, kModelNumber);
        bool slaveOpen = false;
        while (!stopping) {
            pollfd wait{master, POLLIN, 0};
            if (poll(&wait, 1, 50) <= 0) {
                continue;
            }
            uint8_t buffer[256];
            const ssize_t n =
                (wait.revents & POLLIN) != 0 ? read(master, buffer, sizeof buffer) : -1;
            if (n <= 0) {
                slaveOpen = false;
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                continue;
            }
            if (!slaveOpen) {
                slaveOpen = true;
                OnNewLink();
            }
            NoteRequests(static_cast<int>(n));
            for (ssize_t i = 0; answering && i < n; ++i) {
                SendPacket(answer.data(), answer.size());
            }
        }
    }

    int master = -1;
    int lineNumber = -1;
};

}  // namespace

std::unique_ptr<PadPeer> NewPseudoTerminalPad(bool answering) {
    auto pad = std::make_unique<PseudoTerminalPad>(answering);
    pad->Start();
    return pad;
}

}  // namespace probe

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

#include "PadPeer.h"
#include "padsim/PacketEncoder.h"

namespace probe {
namespace {

constexpr const char* kIdentity = "probe";
constexpr uint32_t kSerialNumber = 123456;
constexpr uint32_t kModelNumber = 5;

int ConnectTo(uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return fd;
}

bool SendAll(int fd, const uint8_t* bytes, size_t length) {
    while (length > 0) {
        const ssize_t n = send(fd, bytes, length, MSG_NOSIGNAL);
        if (n <= 0) {
            return false;
        }
        bytes += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

// The request bytes (0x00) in the payloads of the whole frames at the front of pending, which
// loses them: type word, payload length, payload.
int TakeRequests(std::vector<uint8_t>& pending) {
    int requests = 0;
    size_t offset = 0;
    while (pending.size() - offset >= 8) {
        const uint32_t length = padsim::ReadLe32(pending.data() + offset + 4);
        if (pending.size() - offset - 8 < length) {
            break;
        }
        for (uint32_t i = 0; i < length; ++i) {
            requests += pending[offset + 8 + i] == 0x00 ? 1 : 0;
        }
        offset += 8 + length;
    }
    pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(offset));
    return requests;
}

class TcpBridge final : public PadPeer {
public:
    TcpBridge(uint16_t port, bool answering) : PadPeer(answering), port(port) {}
    ~TcpBridge() override {
        Join();
        if (link >= 0) {
            close(link);
        }
    }

    std::string SettingsLines() const override {
        return "TabletType=7\nSocketPort=" + std::to_string(port - 1) +
               "\nSocketTimeout=5000\nTabletPortPath=" + kIdentity + "\n";
    }

    bool SendPacket(const uint8_t* bytes, size_t length) override {
        return send(link.load(), bytes, length, MSG_NOSIGNAL) == static_cast<ssize_t>(length);
    }

private:
    void Serve() override {
        while (!stopping) {
            const int fd = ConnectTo(port);
            if (fd < 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                continue;
            }
            const padsim::Bytes hello = padsim::EncodeHello(kIdentity);
            OnNewLink();
            if (SendAll(fd, hello.data(), hello.size())) {
                link = fd;
                ServeLink(fd);
            }
            if (!capturing) {
                close(fd);  // the capture's link stays open to the end
            }
        }
    }

    // Until the host drops the link or the probe ends.
    void ServeLink(int fd) {
        std::vector<uint8_t> pending;
        const padsim::StreamPacket answer =
            padsim::EncodeNumbersAnswer(kSerialNumber, kModelNumber);
        while (!stopping) {
            pollfd wait{fd, POLLIN, 0};
            if (poll(&wait, 1, 50) <= 0) {
                continue;
            }
            uint8_t buffer[4096];
            const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) {
                return;
            }
            pending.insert(pending.end(), buffer, buffer + n);
            const int requests = TakeRequests(pending);
            NoteRequests(requests);
            for (int i = 0; answering && i < requests; ++i) {
                SendAll(fd, answer.data(), answer.size());
            }
        }
    }

    const uint16_t port;
    std::atomic<int> link{-1};
};

}  // namespace

std::unique_ptr<PadPeer> NewTcpBridge(uint16_t port, bool answering) {
    auto bridge = std::make_unique<TcpBridge>(port, answering);
    bridge->Start();
    return bridge;
}

}  // namespace probe

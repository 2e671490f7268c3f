#include "PadPeer.h"

namespace probe {

PadPeer::~PadPeer() {
    Join();
}

void PadPeer::Join() {
    stopping = true;
    if (server.joinable()) {
        server.join();
    }
}

void PadPeer::Start() {
    server = std::thread([this] { Serve(); });
}

bool PadPeer::WaitUntilCapturing(std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!capturing && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return capturing;
}

void PadPeer::NoteRequests(int count) {
    requestsOnLink += count;
    if (requestsOnLink > 0) {
        capturing = true;
    }
}

}  // namespace probe

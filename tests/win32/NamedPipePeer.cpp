#include "NamedPipePeer.h"

#include <atomic>

namespace testsupport {
namespace {

std::string UniquePipePath() {
    static std::atomic<int> made{0};
    return "\\\\.\\pipe\\inkora-test-" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(made++);
}

}  // namespace

NamedPipePeer::NamedPipePeer()
    : path(UniquePipePath()),
      server(CreateNamedPipeA(path.c_str(), PIPE_ACCESS_DUPLEX,
                              PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0,
                              nullptr)) {}

NamedPipePeer::~NamedPipePeer() {
    Close();
}

HANDLE NamedPipePeer::OpenClient(DWORD flags) {
    const HANDLE client = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, flags, nullptr);
    AcceptClient();
    return client;
}

void NamedPipePeer::AcceptClient() {
    // The client is there already, so this returns at once (ERROR_PIPE_CONNECTED).
    ConnectNamedPipe(server, nullptr);
}

bool NamedPipePeer::Write(const std::vector<uint8_t>& bytes) {
    DWORD written = 0;
    return WriteFile(server, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

void NamedPipePeer::Close() {
    if (server != INVALID_HANDLE_VALUE) {
        CloseHandle(server);
        server = INVALID_HANDLE_VALUE;
    }
}

}  // namespace testsupport

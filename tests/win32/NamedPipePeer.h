#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// The server end of a fresh byte-mode named pipe, standing on the device's side of a handle
// that the code under test opens by path: what it writes the client reads.
class NamedPipePeer {
public:
    NamedPipePeer();
    ~NamedPipePeer();
    NamedPipePeer(const NamedPipePeer&) = delete;
    NamedPipePeer& operator=(const NamedPipePeer&) = delete;

    const std::string& Path() const { return path; }
    // Opens the client end for reading and writing with the given flags and connects it.
    HANDLE OpenClient(DWORD flags);
    // Call after the client has opened the path itself.
    void AcceptClient();
    bool Write(const std::vector<uint8_t>& bytes);
    // The server end goes away; the client's reads then fail.
    void Close();

private:
    std::string path;
    HANDLE server;
};

}  // namespace testsupport

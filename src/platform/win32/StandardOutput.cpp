#include "platform/StandardOutput.h"

#include <windows.h>

namespace platform {
namespace {

// One write of up to `size` bytes. An OVERLAPPED structure is given to every write to a pipe or
// file, so that a handle opened for overlapped I/O is waited on rather than misread; on a
// synchronous handle the call simply completes. A console takes no OVERLAPPED structure. A disk
// file is written at its end: the offset of an OVERLAPPED structure is used even on a
// synchronous handle, and offset 0 would put every frame over the one before.
bool WriteOnce(HANDLE output, const char* data, DWORD size, DWORD& written) {
    written = 0;
    const DWORD type = GetFileType(output);
    if (type == FILE_TYPE_CHAR) {
        return WriteFile(output, data, size, &written, nullptr) != 0;
    }
    // Writes never overlap: the caller serialises them.
    static const HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    OVERLAPPED overlapped{};
    overlapped.hEvent = done;
    if (type == FILE_TYPE_DISK) {
        overlapped.Offset = 0xFFFFFFFF;  // both halves all ones: the end of the file
        overlapped.OffsetHigh = 0xFFFFFFFF;
    }
    if (WriteFile(output, data, size, &written, &overlapped)) {
        return true;
    }
    return GetLastError() == ERROR_IO_PENDING &&
           GetOverlappedResult(output, &overlapped, &written, TRUE) != 0;
}

// A named pipe in the old non-blocking mode takes only what fits and cannot be waited on: it is
// switched to the blocking mode that every other pipe has.
bool MakePipeBlocking(HANDLE output) {
    DWORD mode = PIPE_READMODE_BYTE | PIPE_WAIT;
    return SetNamedPipeHandleState(output, &mode, nullptr, nullptr) != 0;
}

}  // namespace

bool WriteToStandardOutput(std::string_view bytes) {
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    while (!bytes.empty()) {
        DWORD written = 0;
        if (!WriteOnce(output, bytes.data(), static_cast<DWORD>(bytes.size()), written)) {
            return false;
        }
        if (written == 0 && !MakePipeBlocking(output)) {
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

}  // namespace platform

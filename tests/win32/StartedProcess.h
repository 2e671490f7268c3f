#pragma once

#include <windows.h>

#include <string>

namespace testsupport {

// A program started with standard handles of the test's choosing, as a browser starts the host.
// It takes the handles it is given (inheritable ones) and closes them once the program has
// them; it is waited for, or ended after 20 s, when the object goes.
class StartedProcess {
public:
    StartedProcess(const std::string& commandLine, HANDLE input, HANDLE output, HANDLE error);
    ~StartedProcess();
    StartedProcess(const StartedProcess&) = delete;
    StartedProcess& operator=(const StartedProcess&) = delete;

    bool Started() const { return info.hProcess != nullptr; }
    DWORD ProcessId() const { return info.dwProcessId; }
    bool EndsWithin(DWORD milliseconds);
    // The exit code, or STILL_ACTIVE when it has not ended within 20 s.
    DWORD WaitForExit();

private:
    PROCESS_INFORMATION info{};
};

SECURITY_ATTRIBUTES* Inheritable();
// The NUL device, inheritable, for reading and writing.
HANDLE OpenNul();
// An anonymous pipe; the end meant for the child is inheritable.
struct Pipe {
    HANDLE read = nullptr;
    HANDLE write = nullptr;
};
// A pipe for the child to read, holding `bytes`, its writing end closed (.write is null).
Pipe PipeHolding(const std::string& bytes);
// A pipe for the child to write to (.write).
Pipe PipeToRead();
// Reads until every writer has gone, and closes the handle.
std::string ReadToEndAndClose(HANDLE pipe);

// A Unix path as a Windows program under Wine opens it (drive Z: is the Unix root).
std::string WindowsPathOf(const std::string& unixPath);

}  // namespace testsupport

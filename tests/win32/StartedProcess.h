#pragma once

#include <windows.h>

#include <string>

namespace testsupport {

// A program started with standard handles of the test's choosing, as a browser starts the host.
// Waited for and its handles closed when the object goes.
class StartedProcess {
public:
    // `input`, `output` and `error` must be inheritable; the caller keeps and closes its own.
    StartedProcess(const std::string& commandLine, HANDLE input, HANDLE output, HANDLE error);
    ~StartedProcess();
    StartedProcess(const StartedProcess&) = delete;
    StartedProcess& operator=(const StartedProcess&) = delete;

    bool Started() const { return info.hProcess != nullptr; }
    // The exit code, or STILL_ACTIVE when it has not ended within 20 s.
    DWORD WaitForExit();
    bool EndsWithin(DWORD milliseconds);

private:
    PROCESS_INFORMATION info{};
};

// The pair of ends of an anonymous pipe: the child's end inheritable, the test's end not.
struct ChildPipe {
    HANDLE childEnd = nullptr;
    HANDLE testEnd = nullptr;
};
// A pipe the child reads from: `bytes` are in it already, and its writing end is closed.
ChildPipe InputHolding(const std::string& bytes);
// A pipe the child writes to.
ChildPipe OutputPipe();
void CloseBoth(ChildPipe& pipe);
// Reads until the writer has gone.
std::string ReadToEnd(HANDLE pipe);

// A Unix path as a Windows program under Wine opens it (drive Z: is the Unix root).
std::string WindowsPathOf(const std::string& unixPath);

SECURITY_ATTRIBUTES* Inheritable();

}  // namespace testsupport

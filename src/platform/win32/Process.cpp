#include "platform/Process.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <tlhelp32.h>  // needs the types of windows.h

#include <cstdio>

#include "platform/win32/SessionProcessCount.h"

namespace platform {
namespace {

bool EqualsIgnoringAsciiCase(const char* a, const std::string& b) {
    size_t i = 0;
    for (; a[i] != '\0' && i < b.size(); ++i) {
        const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return a[i] == '\0' && i == b.size();
}

}  // namespace

int CountSessionProcessesNamed(const std::string& executable, SessionOfProcess sessionOf) {
    DWORD ownSession = 0;
    if (!sessionOf(GetCurrentProcessId(), &ownSession)) {
        return 0;
    }
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return 0;
    }
    int count = 0;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more;
         more = Process32Next(snapshot, &entry)) {
        DWORD session = 0;
        if (EqualsIgnoringAsciiCase(entry.szExeFile, executable) &&
            sessionOf(entry.th32ProcessID, &session) && session == ownSession) {
            ++count;
        }
    }
    CloseHandle(snapshot);
    return count;
}

int CountOwnProcessesNamed(const std::string& programName) {
    return CountSessionProcessesNamed(programName + ".exe", ProcessIdToSessionId);
}

NamedInstanceLock::NamedInstanceLock(const std::string& name) {
    const HANDLE mutex = CreateMutexA(nullptr, TRUE, name.c_str());
    const DWORD error = GetLastError();
    if (mutex == nullptr) {
        return;
    }
    handle_ = reinterpret_cast<intptr_t>(mutex);
    outcome_ = error == ERROR_ALREADY_EXISTS ? Outcome::AlreadyHeld : Outcome::Acquired;
}

NamedInstanceLock::~NamedInstanceLock() {
    Close();
}

void NamedInstanceLock::Close() {
    if (handle_ != -1) {
        CloseHandle(reinterpret_cast<HANDLE>(handle_));
        handle_ = -1;
    }
}

bool InitialiseProcess() {
    // In text mode the runtime would write a length byte 0x0A as 0x0D 0x0A and read 0x1A as the
    // end of the input: frames must pass as they are.
    const bool input = _setmode(_fileno(stdin), _O_BINARY) != -1;
    const bool output = _setmode(_fileno(stdout), _O_BINARY) != -1;
    return input && output;
}

void EndProcess(int exitCode) {
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(exitCode));
    ExitProcess(static_cast<UINT>(exitCode));
}

}  // namespace platform

#include "StartedProcess.h"

#include <algorithm>
#include <vector>

namespace testsupport {

StartedProcess::StartedProcess(const std::string& commandLine, HANDLE input, HANDLE output,
                               HANDLE error) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = output;
    startup.hStdError = error;
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &info)) {
        info = {};
    }
    for (HANDLE given : {input, output, error}) {
        CloseHandle(given);
    }
}

StartedProcess::~StartedProcess() {
    if (!Started()) {
        return;
    }
    if (WaitForExit() == STILL_ACTIVE) {
        TerminateProcess(info.hProcess, 1);
    }
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
}

bool StartedProcess::EndsWithin(DWORD milliseconds) {
    return WaitForSingleObject(info.hProcess, milliseconds) == WAIT_OBJECT_0;
}

DWORD StartedProcess::WaitForExit() {
    EndsWithin(20000);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(info.hProcess, &code);
    return code;
}

SECURITY_ATTRIBUTES* Inheritable() {
    static SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return &inheritable;
}

HANDLE OpenNul() {
    return CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       Inheritable(), OPEN_EXISTING, 0, nullptr);
}

Pipe PipeHolding(const std::string& bytes) {
    Pipe pipe;
    CreatePipe(&pipe.read, &pipe.write, Inheritable(), 4096);
    DWORD written = 0;
    WriteFile(pipe.write, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(pipe.write);
    pipe.write = nullptr;
    return pipe;
}

Pipe PipeToRead() {
    Pipe pipe;
    CreatePipe(&pipe.read, &pipe.write, Inheritable(), 4096);
    SetHandleInformation(pipe.read, HANDLE_FLAG_INHERIT, 0);
    return pipe;
}

std::string ReadToEndAndClose(HANDLE pipe) {
    std::string text;
    char block[4096];
    DWORD got = 0;
    while (ReadFile(pipe, block, sizeof block, &got, nullptr) && got > 0) {
        text.append(block, got);
    }
    CloseHandle(pipe);
    return text;
}

std::string WindowsPathOf(const std::string& unixPath) {
    std::string path = "Z:" + unixPath;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

}  // namespace testsupport

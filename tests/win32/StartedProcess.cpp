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

ChildPipe InputHolding(const std::string& bytes) {
    ChildPipe pipe;
    HANDLE writeEnd = nullptr;
    CreatePipe(&pipe.childEnd, &writeEnd, Inheritable(), 4096);
    DWORD written = 0;
    WriteFile(writeEnd, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(writeEnd);
    return pipe;
}

ChildPipe OutputPipe() {
    ChildPipe pipe;
    CreatePipe(&pipe.testEnd, &pipe.childEnd, Inheritable(), 4096);
    SetHandleInformation(pipe.testEnd, HANDLE_FLAG_INHERIT, 0);
    return pipe;
}

void CloseBoth(ChildPipe& pipe) {
    for (HANDLE* end : {&pipe.childEnd, &pipe.testEnd}) {
        if (*end != nullptr) {
            CloseHandle(*end);
            *end = nullptr;
        }
    }
}

std::string ReadToEnd(HANDLE pipe) {
    std::string text;
    char block[4096];
    DWORD got = 0;
    while (ReadFile(pipe, block, sizeof block, &got, nullptr) && got > 0) {
        text.append(block, got);
    }
    return text;
}

std::string WindowsPathOf(const std::string& unixPath) {
    std::string path = "Z:" + unixPath;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

}  // namespace testsupport

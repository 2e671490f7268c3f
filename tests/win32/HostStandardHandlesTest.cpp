// The Windows host started as a browser or a person starts it, with standard handles of the
// test's choosing: its frames written whole to a disk file, to an overlapped pipe and to a pipe in
// the old non-blocking mode whose reader pauses; nothing said on its error output when its input
// is the NUL device.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "HostMessages.h"
#include "StartedProcess.h"
#include "TemporaryRoot.h"

namespace {

using namespace testsupport;

std::string HostCommandLine() {
    return "\"" + WindowsPathOf(HOST_EXE_PATH) + "\"";
}

const std::string kOpenFrame = Frame("{\"command\":\"OPEN\"}");
const std::string kCloseFrame = Frame("{\"command\":\"CLOSE\"}");

// Runs the host on `input` with `output` as its standard output; its exit code.
DWORD RunHost(const std::string& input, HANDLE output) {
    ChildPipe in = InputHolding(input);
    ChildPipe error = OutputPipe();
    StartedProcess host(HostCommandLine(), in.childEnd, output, error.childEnd);
    EXPECT_TRUE(host.Started());
    CloseBoth(in);
    CloseHandle(error.childEnd);
    error.childEnd = nullptr;
    ReadToEnd(error.testEnd);
    CloseBoth(error);
    return host.WaitForExit();
}

// A file as standard output (a site administrator's "> out.bin") holds every frame, in order.
TEST(HostStandardHandles, FileOutputKeepsEveryFrameOfTheExchange) {
    TemporaryRoot root;
    root.WriteSettings("[Tablet]\r\nTabletType=1\r\n");
    const std::string path = root.TempPath("out.bin");
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, Inheritable(),
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(RunHost(kOpenFrame + kCloseFrame, file), 0u);
    CloseHandle(file);
    EXPECT_EQ(TemporaryRoot::ReadFile(path), Frame(kZeroOpenReply) + Frame(kGoodbye));
}

// A named pipe whose server takes one byte at a time until its reader reads: the host's write of
// the goodbye cannot complete at once.
class SlowReaderPipe {
public:
    explicit SlowReaderPipe(DWORD clientFlags) {
        const std::string name =
            "\\\\.\\pipe\\inkora-host-output-" + std::to_string(GetCurrentProcessId());
        server =
            CreateNamedPipeA(name.c_str(), PIPE_ACCESS_INBOUND,
                             PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 1, 1, 0, nullptr);
        client =
            CreateFileA(name.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                        0, Inheritable(), OPEN_EXISTING, clientFlags, nullptr);
        ConnectNamedPipe(server, nullptr);  // the client is there: returns at once
    }
    ~SlowReaderPipe() {
        CloseHandle(server);
        if (client != INVALID_HANDLE_VALUE) {
            CloseHandle(client);
        }
    }
    // Waits until the host has begun to write, pauses while the host would end if it did not
    // wait for its write (the system then drops what the write still held), and reads everything.
    std::string ReadAfterTheWriterWaits(StartedProcess& host) {
        CloseHandle(client);
        client = INVALID_HANDLE_VALUE;
        DWORD available = 0;
        for (int look = 0; look < 1000 && available == 0; ++look) {
            Sleep(10);
            PeekNamedPipe(server, nullptr, 0, nullptr, &available, nullptr);
        }
        host.EndsWithin(500);
        return ReadToEnd(server);
    }

    HANDLE server;
    HANDLE client;
};

TEST(HostStandardHandles, PipeOutputThatMustBeWaitedOnGetsTheWholeGoodbye) {
    struct Case {
        const char* name;
        DWORD clientFlags;
        DWORD mode;
    };
    for (const Case& pipeCase :
         {Case{"overlapped", FILE_FLAG_OVERLAPPED, PIPE_READMODE_BYTE | PIPE_WAIT},
          Case{"non-blocking", 0, PIPE_READMODE_BYTE | PIPE_NOWAIT}}) {
        SCOPED_TRACE(pipeCase.name);
        SlowReaderPipe pipe(pipeCase.clientFlags);
        ASSERT_NE(pipe.client, INVALID_HANDLE_VALUE);
        DWORD mode = pipeCase.mode;
        ASSERT_TRUE(SetNamedPipeHandleState(pipe.client, &mode, nullptr, nullptr));
        ChildPipe in = InputHolding(kCloseFrame);
        StartedProcess host(HostCommandLine(), in.childEnd, pipe.client, pipe.client);
        ASSERT_TRUE(host.Started());
        CloseBoth(in);
        EXPECT_EQ(pipe.ReadAfterTheWriterWaits(host), Frame(kGoodbye));
        EXPECT_EQ(host.WaitForExit(), 0u);
    }
}

// NUL is a character device but no console: the host started on it is no person's, and says
// nothing on its error output.
TEST(HostStandardHandles, InputFromNulIsNoTerminal) {
    const HANDLE nul = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   Inheritable(), OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(nul, INVALID_HANDLE_VALUE);
    ChildPipe output = OutputPipe();
    ChildPipe error = OutputPipe();
    StartedProcess host(HostCommandLine(), nul, output.childEnd, error.childEnd);
    ASSERT_TRUE(host.Started());
    CloseHandle(nul);
    CloseHandle(output.childEnd);
    output.childEnd = nullptr;
    CloseHandle(error.childEnd);
    error.childEnd = nullptr;
    EXPECT_EQ(ReadToEnd(error.testEnd), "");
    EXPECT_EQ(ReadToEnd(output.testEnd), "");
    EXPECT_EQ(host.WaitForExit(), 0u);
    CloseBoth(output);
    CloseBoth(error);
}

}  // namespace

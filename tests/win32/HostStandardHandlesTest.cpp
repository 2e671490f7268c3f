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

const std::string kHost = "\"" + WindowsPathOf(HOST_EXE_PATH) + "\"";
const std::string kOpenFrame = Frame("{\"command\":\"OPEN\"}");
const std::string kCloseFrame = Frame("{\"command\":\"CLOSE\"}");

// A file as standard output (a site administrator's "> out.bin") holds every frame, in order.
TEST(HostStandardHandles, FileOutputKeepsEveryFrameOfTheExchange) {
    TemporaryRoot root;
    root.WriteSettings("[Tablet]\r\nTabletType=1\r\n");
    const std::string path = root.TempPath("out.bin");
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, Inheritable(),
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    StartedProcess host(kHost, PipeHolding(kOpenFrame + kCloseFrame).read, file, OpenNul());
    EXPECT_EQ(host.WaitForExit(), 0u);
    EXPECT_EQ(TemporaryRoot::ReadFile(path), Frame(kZeroOpenReply) + Frame(kGoodbye));
}

// A named pipe that holds one byte until its reader reads, whose client end (the host's output)
// is opened with `clientFlags` and set to `mode`: the goodbye cannot be written at once.
HANDLE OpenSlowPipe(HANDLE& client, DWORD clientFlags, DWORD mode) {
    const std::string name = "\\\\.\\pipe\\inkora-host-output-" + std::to_string(clientFlags);
    const HANDLE server = CreateNamedPipeA(name.c_str(), PIPE_ACCESS_INBOUND,
                                           PIPE_TYPE_BYTE | PIPE_WAIT, 1, 1, 1, 0, nullptr);
    client = CreateFileA(name.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, 0, Inheritable(),
                         OPEN_EXISTING, clientFlags, nullptr);
    SetNamedPipeHandleState(client, &mode, nullptr, nullptr);
    return server;
}

TEST(HostStandardHandles, PipeOutputThatMustBeWaitedOnGetsTheWholeGoodbye) {
    for (const DWORD flags : {DWORD{FILE_FLAG_OVERLAPPED}, DWORD{0}}) {
        const bool overlapped = flags != 0;
        SCOPED_TRACE(overlapped ? "overlapped" : "non-blocking");
        HANDLE client = nullptr;
        const HANDLE server = OpenSlowPipe(client, flags, overlapped ? PIPE_WAIT : PIPE_NOWAIT);
        StartedProcess host(kHost, PipeHolding(kCloseFrame).read, client, OpenNul());
        // The reader waits until the host has begun to write, then pauses while a host that did
        // not wait for its write would end (and the system drop what the write still held).
        DWORD available = 0;
        for (int look = 0; look < 1000 && available == 0; ++look) {
            Sleep(10);
            PeekNamedPipe(server, nullptr, 0, nullptr, &available, nullptr);
        }
        host.EndsWithin(500);
        EXPECT_EQ(ReadToEndAndClose(server), Frame(kGoodbye));
        EXPECT_EQ(host.WaitForExit(), 0u);
    }
}

// NUL is a character device but no console: the host started on it is no person's, and says
// nothing on its error output.
TEST(HostStandardHandles, InputFromNulIsNoTerminal) {
    const Pipe output = PipeToRead();
    const Pipe error = PipeToRead();
    StartedProcess host(kHost, OpenNul(), output.write, error.write);
    EXPECT_EQ(ReadToEndAndClose(error.read), "");
    EXPECT_EQ(ReadToEndAndClose(output.read), "");
    EXPECT_EQ(host.WaitForExit(), 0u);
}

}  // namespace

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <string>

#include "StartedProcess.h"
#include "platform/Process.h"
#include "platform/win32/SessionProcessCount.h"

namespace {

using platform::CountOwnProcessesNamed;
using platform::CountSessionProcessesNamed;

std::string OwnPath() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, length);
}

// The name of this test program's executable, without its extension.
std::string OwnProgramName() {
    return std::filesystem::path(OwnPath()).stem().string();
}

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

TEST(Win32ProcessCount, FindsThisProgramByItsNameInAnyCaseAndOnlyByTheWholeName) {
    const std::string name = OwnProgramName();
    ASSERT_FALSE(name.empty());
    EXPECT_GE(CountOwnProcessesNamed(name), 1) << name;
    EXPECT_GE(CountOwnProcessesNamed(Upper(name)), 1) << name;
    EXPECT_EQ(CountOwnProcessesNamed(name + ".exe"), 0) << "the platform adds the extension itself";
    EXPECT_EQ(CountOwnProcessesNamed(name.substr(0, name.size() - 1)), 0) << "a prefix of the name";
    EXPECT_EQ(CountOwnProcessesNamed(name + "s"), 0) << "a longer name";
}

// Run only as the child of the test below: a second process of this program's name, until the
// end of its input.
TEST(Win32ProcessCount, DISABLED_WaitsForTheEndOfItsInput) {
    while (std::getchar() != EOF) {
    }
}

// The sessions that the tests make up (Wine runs every process in one session).
DWORD childId = 0;
BOOL WINAPI ChildInAnotherSession(DWORD processId, DWORD* session) {
    *session = processId == childId ? 2 : 1;
    return TRUE;
}
BOOL WINAPI ChildSessionUnreadable(DWORD processId, DWORD* session) {
    *session = 1;
    return processId != childId ? TRUE : FALSE;
}

// A host of another Remote Desktop session is not one of this session's: only processes of the
// caller's own session count, and one whose session cannot be read is not counted either.
TEST(Win32ProcessCount, CountsOnlyTheProcessesOfTheCallersOwnSession) {
    const std::string executable = OwnProgramName() + ".exe";
    const int alone = CountSessionProcessesNamed(executable, ProcessIdToSessionId);
    ASSERT_GE(alone, 1);
    HANDLE childInput = nullptr;
    HANDLE keptOpen = nullptr;
    ASSERT_TRUE(CreatePipe(&childInput, &keptOpen, testsupport::Inheritable(), 0));
    SetHandleInformation(keptOpen, HANDLE_FLAG_INHERIT, 0);
    testsupport::StartedProcess child(
        "\"" + OwnPath() +
            "\" --gtest_also_run_disabled_tests "
            "--gtest_filter=Win32ProcessCount.DISABLED_WaitsForTheEndOfItsInput",
        childInput, testsupport::OpenNul(), testsupport::OpenNul());
    ASSERT_TRUE(child.Started());
    childId = child.ProcessId();
    struct Case {
        const char* name;
        platform::SessionOfProcess sessionOf;
        int count;
    };
    const Case cases[] = {
        {"the system's sessions: the child shares this one", ProcessIdToSessionId, alone + 1},
        {"the child in another session", ChildInAnotherSession, alone},
        {"the child's session cannot be read", ChildSessionUnreadable, alone},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CountSessionProcessesNamed(executable, c.sessionOf), c.count) << c.name;
    }
    CloseHandle(keptOpen);
    EXPECT_EQ(child.WaitForExit(), 0u);
}

}  // namespace

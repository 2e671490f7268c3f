// A console event (Ctrl-C, the console closed, logoff, shutdown) runs the host's handler: the log
// hold, then the process ended with the code the system's handler gives, and no exit handler run
// while other threads may hold their locks. The system delivers an event by running the
// dispatcher CtrlRoutine on a new thread of the process; the child below does the same, so no
// console is needed.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "StartedProcess.h"
#include "platform/Termination.h"

namespace {

using namespace testsupport;

void Say(const char* text) {
    std::fputs(text, stdout);
    std::fflush(stdout);
}

// The event the child below receives, handed over in its environment.
constexpr const char* kEventVariable = "CONSOLE_EVENTS_TEST_EVENT";

// Run by the test below in a process of its own.
TEST(ConsoleEvents, DISABLED_ChildReceivingAnEvent) {
    const char* event = std::getenv(kEventVariable);
    ASSERT_NE(event, nullptr);
    ASSERT_TRUE(platform::HandleTerminationRequests([] { Say("[before end]"); }));
    std::atexit([] { Say("[exit handler]"); });
    const auto dispatcher = reinterpret_cast<LPTHREAD_START_ROUTINE>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernelbase.dll"), "CtrlRoutine")));
    ASSERT_NE(dispatcher, nullptr);
    WaitForSingleObject(
        CreateThread(nullptr, 0, dispatcher,
                     reinterpret_cast<void*>(std::strtoul(event, nullptr, 10)), 0, nullptr),
        INFINITE);
    Say("[still running]");
}

TEST(ConsoleEvents, EachEventRunsTheHoldAndEndsTheProcessWithoutExitHandlers) {
    char self[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(nullptr, self, MAX_PATH), 0u);
    for (const DWORD event : {CTRL_C_EVENT, CTRL_CLOSE_EVENT}) {
        SCOPED_TRACE(event);
        ASSERT_TRUE(SetEnvironmentVariableA(kEventVariable, std::to_string(event).c_str()));
        const Pipe output = PipeToRead();
        StartedProcess child(std::string("\"") + self +
                                 "\" --gtest_also_run_disabled_tests "
                                 "--gtest_filter=ConsoleEvents.DISABLED_ChildReceivingAnEvent",
                             OpenNul(), output.write, OpenNul());
        const std::string said = ReadToEndAndClose(output.read);
        EXPECT_NE(said.find("[before end]"), std::string::npos) << said;
        EXPECT_EQ(said.find("[exit handler]"), std::string::npos) << said;
        EXPECT_EQ(said.find("[still running]"), std::string::npos) << said;
        EXPECT_EQ(child.WaitForExit(), 0xC000013Au);  // STATUS_CONTROL_C_EXIT
    }
    SetEnvironmentVariableA(kEventVariable, nullptr);
}

}  // namespace

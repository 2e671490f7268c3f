#include <gtest/gtest.h>
#include <process.h>

#include <string>

#include "platform/Process.h"

namespace {

using platform::NamedInstanceLock;
using Outcome = NamedInstanceLock::Outcome;

// A name of this test run's own, so that a host running in the same prefix is not disturbed.
std::string LockName() {
    return "InkoraTestInstanceLock" + std::to_string(_getpid());
}

TEST(Win32InstanceLock, ASecondHolderIsRefusedUntilTheFirstCloses) {
    NamedInstanceLock first(LockName());
    ASSERT_EQ(first.outcome(), Outcome::Acquired);
    {
        NamedInstanceLock second(LockName());
        EXPECT_EQ(second.outcome(), Outcome::AlreadyHeld);
    }
    first.Close();
    NamedInstanceLock third(LockName());
    EXPECT_EQ(third.outcome(), Outcome::Acquired);
}

}  // namespace

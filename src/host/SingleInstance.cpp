#include "host/SingleInstance.h"

#include "platform/DebugOutput.h"

namespace {

constexpr const char* kProgramName = "Lumarq.OrvaneSignExtension";
constexpr const char* kInstanceLockName = "LumarqSignAppBrowser";
constexpr const char* kAnotherInstance = "Another instance of the application is already running";

}  // namespace

std::unique_ptr<platform::NamedInstanceLock> TakeSingleInstance() {
    if (platform::CountOwnProcessesNamed(kProgramName) >= 2) {
        platform::OutputDebugText(kAnotherInstance);
        return nullptr;
    }
    auto lock = std::make_unique<platform::NamedInstanceLock>(kInstanceLockName);
    if (lock->outcome() == platform::NamedInstanceLock::Outcome::AlreadyHeld) {
        platform::OutputDebugText(kAnotherInstance);
        lock->Close();
        return nullptr;
    }
    return lock;
}

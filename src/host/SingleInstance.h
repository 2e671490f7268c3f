#pragma once

#include <memory>

#include "platform/Process.h"

// The host runs once per person: once per logon session on Windows (each session of a terminal
// server has its own redirected pad), once per user on POSIX. Takes the named lock for the life
// of the returned object, or returns nothing (with the trace line that says so) when another
// copy of the same session or user runs: counted by executable name first, then by the lock.
std::unique_ptr<platform::NamedInstanceLock> TakeSingleInstance();

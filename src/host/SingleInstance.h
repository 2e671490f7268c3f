#pragma once

#include <memory>

#include "platform/Process.h"

// The host runs once per machine. Takes the named lock for the life of the returned object, or
// returns nothing (with the trace line that says so) when another copy runs: counted by
// executable name first, then by the lock.
std::unique_ptr<platform::NamedInstanceLock> TakeSingleInstance();

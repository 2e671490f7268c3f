#pragma once

#include <windows.h>

#include <string>

namespace platform {

// The logon session of a process, as ProcessIdToSessionId gives it: false when it cannot be read
// (a process of another user may refuse the query).
using SessionOfProcess = BOOL(WINAPI*)(DWORD processId, DWORD* sessionId);

// Counts the processes of the system's snapshot whose executable file is named `executable`
// (ASCII case ignored) and that run in the caller's own session, as `sessionOf` tells it. A
// process whose session cannot be read is not counted: the per-session named mutex still keeps
// a second host of this session out. 0 when the snapshot or the caller's own session cannot be
// read.
int CountSessionProcessesNamed(const std::string& executable, SessionOfProcess sessionOf);

}  // namespace platform

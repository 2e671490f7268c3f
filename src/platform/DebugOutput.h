#pragma once

namespace platform {

// Writes one trace line to the debugger output (on POSIX: the text and a line feed on
// standard error).
void OutputDebugText(const char* text);

}  // namespace platform

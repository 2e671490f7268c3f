#pragma once

namespace platform {

// Writes one trace line to the debugger output. On POSIX the stand-in is the text and a line
// feed on standard error, written only while the environment variable INKORA_TRACE is 1.
void OutputDebugText(const char* text);

}  // namespace platform

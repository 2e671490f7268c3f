#pragma once

#include <string_view>

namespace platform {

// Writes all of `bytes` to standard output, unbuffered, in as few writes as the system allows
// (one, for a pipe with room). A standard output that was handed over in non-blocking mode is
// waited on until it takes more, so that nothing is dropped or cut. False when the output is
// gone (a reader that closed its end) or broken; what was written then stays written.
bool WriteToStandardOutput(std::string_view bytes);

}  // namespace platform

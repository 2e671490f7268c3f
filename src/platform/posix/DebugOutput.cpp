#include "platform/DebugOutput.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace platform {
namespace {

// A desktop browser hands the host's standard error to the system journal: trace lines go
// there only when INKORA_TRACE=1 asks for them.
bool TraceRequested() {
    static const bool requested = [] {
        const char* value = std::getenv("INKORA_TRACE");
        return value != nullptr && std::strcmp(value, "1") == 0;
    }();
    return requested;
}

}  // namespace

void OutputDebugText(const char* text) {
    if (!TraceRequested()) {
        return;
    }
    // One write per line, so that lines of different threads do not mix.
    std::string line(text);
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

}  // namespace platform

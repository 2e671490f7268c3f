#include "platform/DebugOutput.h"

#include <cstdio>
#include <string>

namespace platform {

void OutputDebugText(const char* text) {
    // One write per line, so that lines of different threads do not mix.
    std::string line(text);
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

}  // namespace platform

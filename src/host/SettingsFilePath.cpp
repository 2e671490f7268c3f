#include "host/SettingsFilePath.h"

#include "platform/Directories.h"

namespace {

constexpr size_t kPathBufferSize = 260;

}  // namespace

std::string SettingsFilePath() {
    std::string path = platform::PathInDirectory(platform::WindowsDirectory(), "Inkora.ini");
    if (path.size() >= kPathBufferSize) {
        path.resize(kPathBufferSize - 1);  // the bounded concatenation of a 260-byte buffer
    }
    return path;
}

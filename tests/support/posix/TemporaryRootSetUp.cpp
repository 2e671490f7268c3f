#include "TemporaryRoot.h"

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>

namespace testsupport {

TemporaryRoot::TemporaryRoot() {
    char pathTemplate[] = "/tmp/inkora-root-XXXXXX";
    if (mkdtemp(pathTemplate) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = pathTemplate;
    windowsDirectory_ = path_ + "/windows";
    tempDirectory_ = path_ + "/temp";
    std::filesystem::create_directory(windowsDirectory_);
    std::filesystem::create_directory(tempDirectory_);
}

TemporaryRoot::~TemporaryRoot() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

ScopedInkoraRoot::ScopedInkoraRoot() {
    setenv("INKORA_ROOT", path().c_str(), 1);
}

ScopedInkoraRoot::~ScopedInkoraRoot() {
    unsetenv("INKORA_ROOT");
}

}  // namespace testsupport

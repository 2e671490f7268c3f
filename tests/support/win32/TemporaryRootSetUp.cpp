#include "TemporaryRoot.h"

#include <process.h>
#include <windows.h>

#include <filesystem>
#include <stdexcept>

namespace testsupport {
namespace {

namespace fs = std::filesystem;

std::string SystemWindowsDirectory() {
    char directory[MAX_PATH];
    const UINT length = GetWindowsDirectoryA(directory, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        throw std::runtime_error("GetWindowsDirectoryA failed");
    }
    return std::string(directory, length);
}

// Moves what is at `original` out of the way, to a name of this process's own; returns that
// name, or nothing when there was nothing to move.
std::string SetAside(const std::string& original) {
    if (!fs::exists(original)) {
        return {};
    }
    const std::string aside = original + ".set-aside-" + std::to_string(_getpid());
    std::error_code error;
    fs::rename(original, aside, error);
    if (error) {
        throw std::runtime_error("cannot set " + original + " aside: " + error.message());
    }
    return aside;
}

void PutBack(const std::vector<std::pair<std::string, std::string>>& setAside) {
    std::error_code ignored;
    for (const auto& [original, aside] : setAside) {
        fs::rename(aside, original, ignored);
    }
}

}  // namespace

TemporaryRoot::TemporaryRoot() {
    windowsDirectory_ = SystemWindowsDirectory();
    tempDirectory_ = "C:\\temp";
    path_ = fs::path(windowsDirectory_).root_name().string();
    try {
        for (const std::string& original : {WindowsPath("Inkora.ini"), tempDirectory_}) {
            const std::string aside = SetAside(original);
            if (!aside.empty()) {
                setAside_.emplace_back(original, aside);
            }
        }
        fs::create_directory(tempDirectory_);
    } catch (...) {
        PutBack(setAside_);
        throw;
    }
}

TemporaryRoot::~TemporaryRoot() {
    std::error_code ignored;
    fs::remove(WindowsPath("Inkora.ini"), ignored);
    fs::remove_all(tempDirectory_, ignored);
    PutBack(setAside_);
}

// The Windows directory and C:\temp are where the platform layer looks already.
ScopedInkoraRoot::ScopedInkoraRoot() = default;

ScopedInkoraRoot::~ScopedInkoraRoot() = default;

}  // namespace testsupport

#include "platform/Directories.h"

#include <windows.h>

namespace platform {

std::string WindowsDirectory() {
    char directory[MAX_PATH];
    const UINT length = GetWindowsDirectoryA(directory, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return "C:\\Windows";
    }
    return std::string(directory, length);
}

std::string TempDirectory() {
    return "C:\\temp";
}

std::string PathInDirectory(const std::string& directory, const std::string& name) {
    if (!directory.empty() && (directory.back() == '\\' || directory.back() == '/')) {
        return directory + name;
    }
    return directory + "\\" + name;
}

bool CanOpenForReading(const std::string& path) {
    // Without FILE_FLAG_BACKUP_SEMANTICS a directory does not open, so only a file passes.
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(file);
    return true;
}

std::FILE* CreateTextFile(const std::string& path) {
    // The log's path names a file or a folder, and neither open can block.
    return std::fopen(path.c_str(), "w");
}

}  // namespace platform

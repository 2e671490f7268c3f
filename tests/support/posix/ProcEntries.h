#pragma once

#include <dirent.h>

#include <string>
#include <vector>

namespace testsupport {

// The names in a /proc folder (a process's fd or task folder), without "." and ".."; none when
// the folder cannot be read.
inline std::vector<std::string> ProcEntries(const std::string& folder) {
    std::vector<std::string> names;
    DIR* directory = opendir(folder.c_str());
    if (directory == nullptr) {
        return names;
    }
    while (const dirent* entry = readdir(directory)) {
        if (entry->d_name[0] != '.') {
            names.emplace_back(entry->d_name);
        }
    }
    closedir(directory);
    return names;
}

}  // namespace testsupport

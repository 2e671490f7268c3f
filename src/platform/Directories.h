#pragma once

#include <cstdio>
#include <string>

namespace platform {

// The Windows directory, where the settings file lives.
std::string WindowsDirectory();

// The directory of the diagnostic log and the instance lock ("C:\temp" on Windows).
std::string TempDirectory();

// directory + the platform's separator + name.
std::string PathInDirectory(const std::string& directory, const std::string& name);

// Whether a regular file (links followed) exists there and this process can open it for reading
// without sharing it. Never blocks.
bool CanOpenForReading(const std::string& path);

// Creates the file, or empties it, for writing text, as fopen(path, "w") does, but never blocks
// and writes only into a regular file: anything else there (a FIFO, a device) is refused with
// errno set. Null on failure.
std::FILE* CreateTextFile(const std::string& path);

}  // namespace platform

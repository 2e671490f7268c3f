#pragma once

#include <string>
#include <utility>
#include <vector>

namespace testsupport {

// The two folders where the code under test looks for the settings file (the Windows
// directory) and writes the diagnostic log (C:\temp), both empty for as long as the root lives.
// On POSIX a fresh temporary directory holding windows/ and temp/, removed at the end; on
// Windows the real folders, whose earlier contents are set aside and put back at the end.
class TemporaryRoot {
public:
    TemporaryRoot();
    ~TemporaryRoot();
    TemporaryRoot(const TemporaryRoot&) = delete;
    TemporaryRoot& operator=(const TemporaryRoot&) = delete;

    // The folder that stands for drive C: (POSIX), or the drive itself (Windows).
    const std::string& path() const { return path_; }
    const std::string& WindowsDirectory() const { return windowsDirectory_; }
    const std::string& TempDirectory() const { return tempDirectory_; }
    std::string WindowsPath(const std::string& name) const;
    std::string TempPath(const std::string& name) const;
    void WriteSettings(const std::string& iniText) const;
    static std::string ReadFile(const std::string& path);

private:
    std::string path_;
    std::string windowsDirectory_;
    std::string tempDirectory_;
    // Files and folders that were in the root's places before it: (original, set-aside) pairs.
    std::vector<std::pair<std::string, std::string>> setAside_;
};

// A temporary root that the platform layer of this process uses for as long as it lives, for
// tests that build a Tablet in their own process (on POSIX it sets INKORA_ROOT).
class ScopedInkoraRoot : public TemporaryRoot {
public:
    ScopedInkoraRoot();
    ~ScopedInkoraRoot();
};

}  // namespace testsupport

#include "platform/Directories.h"

#include <gtest/gtest.h>
#include <process.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "TemporaryRoot.h"

namespace {

namespace fs = std::filesystem;
using platform::CanOpenForReading;
using platform::PathInDirectory;

TEST(Win32Directories, SettingsAndLogLiveInTheSystemsWindowsDirectoryAndCTemp) {
    testsupport::ScopedInkoraRoot root;
    root.WriteSettings("[Tablet]\n");
    const std::string settings = PathInDirectory(platform::WindowsDirectory(), "Inkora.ini");
    EXPECT_TRUE(CanOpenForReading(settings)) << settings;
    EXPECT_TRUE(fs::is_directory(PathInDirectory(platform::WindowsDirectory(), "system32")));
    EXPECT_EQ(platform::TempDirectory(), "C:\\temp");
}

TEST(Win32Directories, NamesJoinTheDirectoryWithOneSeparator) {
    EXPECT_EQ(PathInDirectory("C:\\temp", "tessel.log"), "C:\\temp\\tessel.log");
    EXPECT_EQ(PathInDirectory("C:\\", "Inkora.ini"), "C:\\Inkora.ini");
    EXPECT_EQ(PathInDirectory("C:/windows/", "Inkora.ini"), "C:/windows/Inkora.ini");
}

TEST(Win32Directories, OnlyAFileNoOtherHandleHoldsCanBeOpenedForReading) {
    const fs::path folder =
        fs::temp_directory_path() / ("inkora-directories-" + std::to_string(_getpid()));
    fs::create_directories(folder);
    const std::string file = (folder / "Inkora.ini").string();

    EXPECT_FALSE(CanOpenForReading(file)) << "a missing file";
    EXPECT_FALSE(CanOpenForReading(folder.string())) << "a directory";
    std::ofstream(file) << "[Tablet]\n";
    EXPECT_TRUE(CanOpenForReading(file));
    {
        std::ofstream writer(file, std::ios::app);
        EXPECT_FALSE(CanOpenForReading(file)) << "a file another handle holds";
    }
    EXPECT_TRUE(CanOpenForReading(file));

    // The probes leave no handle behind: a file still open could not be deleted.
    std::error_code error;
    EXPECT_TRUE(fs::remove(file, error)) << error.message();
    fs::remove_all(folder, error);
}

}  // namespace

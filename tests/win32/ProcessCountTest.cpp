#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>

#include "platform/Process.h"

namespace {

using platform::CountProcessesNamed;

// The name of this test program's executable, without its extension.
std::string OwnProgramName() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::filesystem::path(std::string(path, length)).stem().string();
}

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

TEST(Win32ProcessCount, FindsThisProgramByItsNameInAnyCaseAndOnlyByTheWholeName) {
    const std::string name = OwnProgramName();
    ASSERT_FALSE(name.empty());
    EXPECT_GE(CountProcessesNamed(name), 1) << name;
    EXPECT_GE(CountProcessesNamed(Upper(name)), 1) << name;
    EXPECT_EQ(CountProcessesNamed(name + ".exe"), 0) << "the platform adds the extension itself";
    EXPECT_EQ(CountProcessesNamed(name.substr(0, name.size() - 1)), 0) << "a prefix of the name";
    EXPECT_EQ(CountProcessesNamed(name + "s"), 0) << "a longer name";
}

}  // namespace

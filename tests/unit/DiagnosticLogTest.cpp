#include "tablet/DiagnosticLog.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "LogLines.h"
#include "TemporaryRoot.h"

namespace {

using testsupport::ScopedInkoraRoot;

TEST(DiagnosticLog, LinePrefixIsTimeAndThreadInFixedWidth) {
    char line[2048];
    FormatLogLine(line, 1234, 0x1A2C, "hello");
    EXPECT_STREQ(line, "000000001234:00001a2c: hello\n");
    FormatLogLine(line, 0x80000000u, 0xFFFFFFFFu, "x");
    EXPECT_STREQ(line, "-02147483648:ffffffff: x\n");
}

TEST(DiagnosticLog, OverlongMessageIsCutToFitTheLineBuffer) {
    char line[2048];
    const std::string message(5000, 'm');
    const int length = FormatLogLine(line, 1, 1, message.c_str());
    EXPECT_EQ(length, 2047);
    EXPECT_EQ(std::strlen(line), 2047u);
    EXPECT_EQ(line[2046], '\n');
}

TEST(DiagnosticLog, StartsAFreshFileWithTheBanner) {
    ScopedInkoraRoot root;
    const std::string path = root.TempPath("tessel.log");
    std::ofstream(path) << std::string(4000, 'o') << "\n";  // longer than what follows
    TabletSettings settings;
    settings.EnableLogging = true;
    OpenLogFile(settings);
    WriteLogLine("first event");
    CloseLogFile();
    const std::string log = root.ReadFile(path);
    EXPECT_EQ(testsupport::LogMessages(log),
              (std::vector<std::string>{"Tessel v2.0.1.1", "first event"}))
        << log;
}

TEST(DiagnosticLog, WritesNothingWhileLoggingIsOff) {
    ScopedInkoraRoot root;
    TabletSettings settings;
    settings.EnableLogging = false;
    OpenLogFile(settings);
    WriteLogLine("dropped");
    CloseLogFile();
    EXPECT_FALSE(std::filesystem::exists(root.TempPath("tessel.log")));
}

TEST(DiagnosticLog, MissingDirectoryReportsOnStandardErrorAndLogsNothing) {
    ScopedInkoraRoot root;
    std::filesystem::remove_all(root.TempDirectory());
    TabletSettings settings;
    settings.EnableLogging = true;
    testing::internal::CaptureStderr();
    OpenLogFile(settings);
    WriteLogLine("dropped");
    const std::string errors = testing::internal::GetCapturedStderr();
    CloseLogFile();
    EXPECT_EQ(errors.rfind("Error: ", 0), 0u) << errors;
}

}  // namespace

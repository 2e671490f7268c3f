#include "tablet/DiagnosticLog.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/Clock.h"
#include "platform/Directories.h"
#include "platform/Threads.h"

namespace {

constexpr int kPrefixLength = 23;  // "%012ld:%08lx: "
constexpr auto kLongestWaitForALine = std::chrono::milliseconds(500);

std::timed_mutex logLock;  // keeps each line whole and the file open while it is written
FILE* logFile = nullptr;

}  // namespace

int FormatLogLine(char (&line)[2048], uint32_t milliseconds, uint32_t threadId,
                  const char* message) {
    std::snprintf(line, sizeof line,
                  "%012ld:%08lx: ", static_cast<long>(static_cast<int32_t>(milliseconds)),
                  static_cast<unsigned long>(threadId));
    // Room for the message, the line feed and the terminating zero.
    const size_t room = sizeof line - kPrefixLength - 2;
    const size_t length = std::min(std::strlen(message), room);
    std::memcpy(line + kPrefixLength, message, length);
    line[kPrefixLength + length] = '\n';
    line[kPrefixLength + length + 1] = '\0';
    return static_cast<int>(kPrefixLength + length + 1);
}

void OpenLogFile(const TabletSettings& settings) {
    {
        std::lock_guard<std::timed_mutex> hold(logLock);
        if (settings.EnableLogging) {
            if (logFile == nullptr) {
                const std::string path =
                    platform::PathInDirectory(platform::TempDirectory(), kLogFileName);
                logFile = platform::CreateTextFile(path);
                if (logFile == nullptr) {
                    std::perror("Error");
                }
            }
        } else if (logFile != nullptr) {
            std::fclose(logFile);
            logFile = nullptr;
        }
    }
    WriteLogLine(kLogBanner);
}

void WriteLogLine(const char* message) {
    const uint32_t milliseconds = platform::TimeGetTime();
    const uint32_t threadId = platform::CurrentThreadId();
    std::lock_guard<std::timed_mutex> hold(logLock);
    if (logFile == nullptr) {
        return;
    }
    char line[2048];
    FormatLogLine(line, milliseconds, threadId, message);
    std::fprintf(logFile, "%s", line);
    std::fflush(logFile);
}

void WriteLogFormat(const char* format, ...) {
    char message[256];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(message, sizeof message, format, arguments);
    va_end(arguments);
    WriteLogLine(message);
}

void CloseLogFile() {
    std::lock_guard<std::timed_mutex> hold(logLock);
    if (logFile != nullptr) {
        std::fclose(logFile);
        logFile = nullptr;
    }
}

void HoldLogForProcessEnd() {
    // Never given back: the process ends while it is held.
    [[maybe_unused]] const bool held = logLock.try_lock_for(kLongestWaitForALine);
}

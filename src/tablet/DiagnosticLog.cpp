#include "tablet/DiagnosticLog.h"

#include <atomic>
#include <cerrno>
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
// Changed and used under logLock. Atomic as well, because ThreadSanitizer does not see the lock
// that HoldLogForProcessEnd takes with a time limit.
std::atomic<FILE*> logFile{nullptr};
// Set once the process is about to be ended: no line starts after it. Writers look before they
// take logLock as well, so that the hold waits for the line in progress alone and not for a
// writer that takes the lock again and again (a mutex hands itself to no one in turn).
std::atomic<bool> heldForProcessEnd{false};

// The runtime's error line for a log that cannot be opened ("Error", a colon, a space and the
// system's text), followed by the log's path and, for a refusal, its usual cause: the log is one
// file for the whole machine, so a file that another user made first, or that another program
// holds open, refuses this process.
void ReportOpenFailure(const std::string& path) {
    const int error = errno;
    const bool refused = error == EACCES || error == EPERM;
    std::fprintf(stderr, "Error: %s (%s%s)\n", std::strerror(error), path.c_str(),
                 refused ? ": the log is one file per machine; one made by another user, or held "
                           "open by another program, refuses this one's writes"
                         : "");
}

// Writes one line to the open log; the caller holds logLock.
void WriteLineHeld(uint32_t milliseconds, uint32_t threadId, const char* message) {
    if (logFile == nullptr) {
        return;
    }
    char line[2048];
    FormatLogLine(line, milliseconds, threadId, message);
    std::fprintf(logFile.load(), "%s", line);
    std::fflush(logFile.load());
}

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
                    ReportOpenFailure(path);
                }
            }
        } else if (logFile != nullptr) {
            std::fclose(logFile.exchange(nullptr));
        }
    }
    WriteLogLine(kLogBanner);
}

void WriteLogLine(const char* message) {
    if (heldForProcessEnd) {
        return;
    }
    const uint32_t milliseconds = platform::TimeGetTime();
    const uint32_t threadId = platform::CurrentThreadId();
    std::lock_guard<std::timed_mutex> hold(logLock);
    if (!heldForProcessEnd) {
        WriteLineHeld(milliseconds, threadId, message);
    }
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
        std::fclose(logFile.exchange(nullptr));
    }
}

void HoldLogForProcessEnd() {
    // Never given back: the process ends while it is held. The last line says why the log ends.
    heldForProcessEnd = true;
    if (logLock.try_lock_for(kLongestWaitForALine)) {
        WriteLineHeld(platform::TimeGetTime(), platform::CurrentThreadId(), kTerminationLine);
    }
}

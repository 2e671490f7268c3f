#pragma once

#include "tablet/TabletSettings.h"

// The pad library's optional diagnostic log: "tessel.log" in the temp directory, one
// time-stamped line per event, written only while EnableLogging is on. Process-wide; lines may
// be written from any thread.

inline constexpr const char* kLogFileName = "tessel.log";
inline constexpr const char* kLogBanner = "Tessel v2.0.1.1";

// Starts the log (mode "w") when settings.EnableLogging is on and it is not open yet, or stops
// it when it is off; then writes the banner line.
void OpenLogFile(const TabletSettings& settings);

// Appends one line with the message if the log is open. A message too long for the line buffer
// is cut to fit.
void WriteLogLine(const char* message);

// Composes a message printf-style in a 256-byte buffer and writes it with WriteLogLine.
void WriteLogFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));

void CloseLogFile();

// For a process about to be ended from outside: waits until the line being written, if any, is
// whole, writes kTerminationLine as the log's last, and lets no other line start. Waits at most
// half a second, so that a write that cannot finish does not keep the process alive.
void HoldLogForProcessEnd();
inline constexpr const char* kTerminationLine = "Ending: the process was asked to terminate";

// The text of a log line: the 23-character prefix (time, thread id) and the message, cut to fit
// a 2048-byte buffer, with its line feed. Exposed for tests.
int FormatLogLine(char (&line)[2048], uint32_t milliseconds, uint32_t threadId,
                  const char* message);

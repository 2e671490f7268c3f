#pragma once

#include "padsim/Options.h"
#include "padsim/Playback.h"
#include "padsim/Session.h"
#include "padsim/SessionLoop.h"

namespace padsim {

// Exit codes.
inline constexpr int kExitNormal = 0;
inline constexpr int kExitFailure = 1;  // no host within the time limit, a resource not available
inline constexpr int kExitUsage = 2;    // bad options or strokes file

// Each mode runs until its work is done, a stop is requested or the time limit passes, and
// returns the exit code.
int RunBridge(const Options& options, Playback& playback);
int RunServer(const Options& options, Playback& playback);
int RunSerial(const Options& options, Playback& playback);
int RunUsbPipe(const Options& options, Playback& playback);

// The session settings that every mode shares: numbers, start rule, window.
SessionConfig BaseSessionConfig(const Options& options);

// Logs how a session ended. True when the run is over: a single pass went out whole and the
// host has finished with it, or a stop or the time limit ended the session.
bool FinishSession(SessionEnd end, const Session& session, const Options& options);

// The exit code at the end of a run, and the line that explains a failure.
int ExitCodeAfterRun(bool hostSeen, const Options& options, const std::string& waitedFor);

}  // namespace padsim

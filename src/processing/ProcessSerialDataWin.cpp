#include "processing/ProcessSerialDataWin.h"

#include <chrono>
#include <exception>

#include "tablet/DiagnosticLog.h"
#include "tablet/Tablet.h"
#include "tablet/ThreadStart.h"

namespace {

// The longest the start waits for the new input thread to run.
constexpr auto kInputStartLimit = std::chrono::milliseconds(10);

}  // namespace

ProcessSerialDataWin::~ProcessSerialDataWin() {
    StopThread();
}

void ProcessSerialDataWin::StartSerialInput() {
    StopThread();  // a thread of an earlier opening that nobody stopped
    owner->inputRing->ResetRing();
    owner->stopInput = false;
    WriteLogLine("StartSerialInput Setting serial reset state True");
    owner->serialResetState = true;
    try {
        inputThread =
            StartThreadAwaitingRun(kInputStartLimit, [this] { owner->ProcessSerialInput(*this); });
    } catch (const std::exception&) {
        // inputRunning stays clear: the close that follows the failed open returns at once.
        WriteLogLine("StartSerialInput: the input thread could not be started");
    }
}

void ProcessSerialDataWin::CloseProcessInputData() {
    WriteLogLine("CloseProcessInputData entry");
    StopThread();
    WriteLogLine("CloseProcessInputData exit");
}

// The wake-up stays set until the loop takes bytes, and the loop looks at stopInput before every
// wait: one wake-up ends it wherever it is.
void ProcessSerialDataWin::StopThread() {
    owner->stopInput = true;
    owner->inputRing->WakeReader();
    if (inputThread.joinable()) {
        inputThread.join();
    }
}

void ProcessSerialDataWin::ResetSerialInput() {
    std::lock_guard<std::mutex> hold(stateLock);
    owner->packetState = 0;
    WriteLogLine("ResetSerialInput Setting serial reset state True");
    owner->serialResetState = true;
}

void ProcessSerialDataWin::SyncSerialInput() {
    std::lock_guard<std::mutex> hold(stateLock);
}

void ProcessSerialDataWin::EndSerialReset() {
    std::lock_guard<std::mutex> hold(stateLock);
    owner->packetState = 0;
    WriteLogLine("ResetSerialInput Setting serial reset state false");
    owner->serialResetState = false;
}

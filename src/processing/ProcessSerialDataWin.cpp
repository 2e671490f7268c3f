#include "processing/ProcessSerialDataWin.h"

#include <chrono>
#include <exception>

#include "tablet/DiagnosticLog.h"
#include "tablet/Tablet.h"

namespace {

void SerialInputThread(ProcessSerialDataWin* controller, Tablet* owner) {
    owner->ProcessSerialInput(*controller);
}

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
        inputThread = std::thread(SerialInputThread, this, owner);
    } catch (const std::exception&) {
        // inputRunning stays clear: the close that follows the failed open returns at once.
        WriteLogLine("StartSerialInput: the input thread could not be started");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

void ProcessSerialDataWin::CloseProcessInputData() {
    WriteLogLine("CloseProcessInputData entry");
    StopThread();
    WriteLogLine("CloseProcessInputData exit");
}

void ProcessSerialDataWin::StopThread() {
    owner->stopInput = true;
    if (owner->inputRunning) {
        owner->ReleaseWaitingProducers();  // a loop waiting for room in the point queue goes on
    }
    while (owner->inputRunning) {
        owner->inputRing->WakeReader();  // a loop blocked on the empty ring wakes up
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
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

#pragma once

#include <mutex>
#include <thread>

#include "tablet/ComponentInterfaces.h"

class Tablet;

// Controller of the input-processing thread, which runs the owner's ProcessSerialInput loop.
class ProcessSerialDataWin final : public ProcessSerialData {
public:
    explicit ProcessSerialDataWin(Tablet* owner) : owner(owner) {}
    ~ProcessSerialDataWin() override;

    void StartSerialInput() override;
    void CloseProcessInputData() override;
    void ResetSerialInput() override;
    void SyncSerialInput() override;
    void EndSerialReset() override;

private:
    // Ends the thread and joins it.
    void StopThread();

    Tablet* owner;
    std::mutex stateLock;  // serialises resets of the framing state against the loop
    std::thread inputThread;
};

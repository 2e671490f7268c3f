#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "processing/CircularBuffer.h"

// The byte ring: 32768 bytes of storage, of which at most 32758 are ever held. The data
// signal is level-triggered: set by every store and by WakeReader, cleared by the take that
// empties the ring.
class CircularBufferWin final : public CircularBuffer {
public:
    static constexpr int32_t kCapacity = 32768;
    static constexpr int32_t kHighWaterMark = 32758;

    void ResetRing() override;
    int32_t PutBytes(const uint8_t* bytes, int32_t length) override;
    void ReleaseWriter() override;
    void PutByte(uint8_t byte) override;
    uint8_t GetByte() override;
    int32_t GetCount() override;
    int32_t WaitForData() override;
    void WakeReader() override;
    int32_t GetBytes(uint8_t* bytes, int32_t maximum) override;

private:
    int32_t CountLocked() const;
    // Stores what fits of the block below the high-water mark; returns how many bytes.
    int32_t StoreLocked(const uint8_t* bytes, int32_t length);
    // After a take: a writer waiting for room goes on.
    void RoomMadeLocked();

    std::array<uint8_t, kCapacity> buffer{};
    int32_t writePos = 0;
    int32_t readPos = 0;
    bool dataSignalled = false;
    bool writerWaiting = false;
    bool writerReleased = false;
    std::mutex lock;
    std::condition_variable dataEvent;
    std::condition_variable roomEvent;
};

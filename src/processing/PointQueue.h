#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

// A wait without a time limit.
inline constexpr uint32_t kWaitForever = 0xFFFFFFFF;

// One queued point, or a single-value entry.
struct PointRecord {
    // Status byte, then X bits 11..4, then X bits 3..0 with Y bits 11..8, then Y bits 7..0
    // (least significant byte first); or the value of a single-value entry.
    uint32_t penData = 0;
    uint32_t timeStamp = 0;  // millisecond clock when queued; 0 in a single-value entry
    int32_t auxValue = 0;
};

// The largest X or Y that penData can carry: each has 12 bits.
inline constexpr int32_t kLargestPenCoordinate = 0xFFF;

// Reading penData back.
inline uint8_t PenStatus(uint32_t penData) {
    return static_cast<uint8_t>(penData & 0xFF);
}
inline int32_t PenX(uint32_t penData) {
    return static_cast<int32_t>(((penData >> 8) & 0xFF) << 4 | ((penData >> 20) & 0x0F));
}
inline int32_t PenY(uint32_t penData) {
    return static_cast<int32_t>(((penData >> 16) & 0x0F) << 8 | ((penData >> 24) & 0xFF));
}

// What a push onto a full queue does.
enum class WhenFull {
    kDropNew,      // drops the new entry and counts it: for a producer that cannot be held
    kWaitForRoom,  // waits until the consumer has made room, or ReleaseProducer is called
};

// A fixed ring of 5000 records with one producer thread and one consumer thread, without a
// lock. It holds at most 4999 entries; a push onto a full queue either drops the new entry and
// counts it, so that a burst never throws away the points already queued, or waits for room.
// The consumer may block until an entry arrives, the producer until room is made; either side
// takes a lock only when the other is blocked.
class PointQueue {
public:
    static constexpr int32_t kEntries = 5000;
    // A waiting producer goes on once this many entries are free, not at every single one.
    static constexpr int32_t kRoomToResume = 128;

    PointQueue();

    void PushPoint(uint32_t penData, uint32_t timeStamp, int32_t auxValue);
    void PushItem(uint32_t value) { PushPoint(value, 0, 0); }
    // Copies out the oldest entry; only after GetPointCount returned a count above 0.
    bool PopPoint(PointRecord& record);
    int32_t GetPointCount() const;
    // Empties the queue, clears the drop count and a release; only while neither producer nor
    // consumer runs.
    void ResetQueue();
    // Only while no producer runs; kDropNew until set.
    void SetWhenFull(WhenFull policy) { whenFull = policy; }
    // Ends a producer's wait for room, and every later one, until ResetQueue: what does not fit
    // then is dropped without being counted, as the producer is being stopped.
    void ReleaseProducer();
    // How many pushes found the queue full and dropped their entry since the last reset.
    uint64_t DroppedCount() const { return dropped.load(std::memory_order_relaxed); }

    // For the producer: pushes between the two calls reach the consumer together, at the end,
    // and wake a blocked consumer once, so that it takes them in one go.
    void BeginPushBatch();
    void EndPushBatch();

    // For the consumer: blocks until an entry is held, WakeConsumer is called or timeoutMs
    // passes (kWaitForever: no limit). True when an entry is held. A wake-up given while the
    // consumer does not wait ends its next wait at once.
    bool WaitForEntries(uint32_t timeoutMs);
    // Ends the consumer's wait, or its next one, without an entry.
    void WakeConsumer();

private:
    // Makes the entries before `end` visible to the consumer and wakes it if it waits.
    void Publish(int32_t end);
    void SignalConsumer();
    int32_t FreeEntries() const { return kEntries - 1 - GetPointCount(); }
    // For a push that found the queue full: true once room has been made.
    bool WaitForRoom();
    void SignalProducer();

    std::unique_ptr<PointRecord[]> entries;
    std::atomic<int32_t> writePos{0};
    std::atomic<int32_t> readPos{0};
    std::atomic<uint64_t> dropped{0};
    std::atomic<bool> consumerWaiting{false};
    bool batching = false;       // the producer's own, as is batchEnd
    int32_t batchEnd = 0;        // where the next entry of a batch goes
    bool wakeRequested = false;  // guarded by signalLock
    std::mutex signalLock;
    std::condition_variable entryArrived;
    WhenFull whenFull = WhenFull::kDropNew;
    std::atomic<bool> producerWaiting{false};
    std::atomic<bool> producerReleased{false};
    std::mutex roomLock;
    std::condition_variable roomMade;
};

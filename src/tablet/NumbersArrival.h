#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

// Counts the numbers packets the decoder has stored, so that a numbers query can end on the
// pad's answer instead of a fixed time. Noted on the thread that decodes, awaited on another.
class NumbersArrival {
public:
    uint64_t Count() const;
    // Called after the decoder has stored the numbers of one packet.
    void Note();
    // True as soon as more than `seen` packets have been stored, false when `limit` passes
    // first.
    bool WaitBeyond(uint64_t seen, std::chrono::milliseconds limit) const;

private:
    mutable std::mutex lock;
    mutable std::condition_variable arrived;
    uint64_t count = 0;
};

#include "processing/PointQueue.h"

namespace {

int32_t Next(int32_t position) {
    return position + 1 == PointQueue::kEntries ? 0 : position + 1;
}

}  // namespace

PointQueue::PointQueue() : entries(new PointRecord[kEntries]()) {}

void PointQueue::PushPoint(uint32_t penData, uint32_t timeStamp, int32_t auxValue) {
    const int32_t position = writePos.load(std::memory_order_relaxed);
    const int32_t next = Next(position);
    if (next == readPos.load(std::memory_order_acquire)) {
        dropped.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    entries[static_cast<size_t>(position)] = PointRecord{penData, timeStamp, auxValue};
    writePos.store(next, std::memory_order_release);
}

bool PointQueue::PopPoint(PointRecord& record) {
    const int32_t position = readPos.load(std::memory_order_relaxed);
    record = entries[static_cast<size_t>(position)];
    readPos.store(Next(position), std::memory_order_release);
    return true;
}

int32_t PointQueue::GetPointCount() const {
    const int32_t difference =
        writePos.load(std::memory_order_acquire) - readPos.load(std::memory_order_acquire);
    return difference >= 0 ? difference : difference + kEntries;
}

void PointQueue::ResetQueue() {
    writePos.store(0, std::memory_order_relaxed);
    readPos.store(0, std::memory_order_relaxed);
}

#include "processing/PointQueue.h"

#include <chrono>

namespace {

int32_t Next(int32_t position) {
    return position + 1 == PointQueue::kEntries ? 0 : position + 1;
}

}  // namespace

PointQueue::PointQueue() : entries(new PointRecord[kEntries]()) {}

void PointQueue::PushPoint(uint32_t penData, uint32_t timeStamp, int32_t auxValue) {
    const int32_t position = batching ? batchEnd : writePos.load(std::memory_order_relaxed);
    const int32_t next = Next(position);
    if (next == readPos.load(std::memory_order_acquire) && !WaitForRoom()) {
        return;
    }
    entries[static_cast<size_t>(position)] = PointRecord{penData, timeStamp, auxValue};
    if (batching) {
        batchEnd = next;
    } else {
        Publish(next);
    }
}

bool PointQueue::WaitForRoom() {
    if (whenFull == WhenFull::kDropNew) {
        dropped.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    if (batching) {
        Publish(batchEnd);  // the consumer can make room only from what it sees
    }
    std::unique_lock<std::mutex> hold(roomLock);
    // Sequentially consistent with the consumer's take in PopPoint: either this sees the room
    // it made, or the consumer sees this producer waiting.
    producerWaiting.store(true, std::memory_order_seq_cst);
    roomMade.wait(hold, [this] {
        return producerReleased.load(std::memory_order_seq_cst) || FreeEntries() >= kRoomToResume;
    });
    producerWaiting.store(false, std::memory_order_relaxed);
    return FreeEntries() > 0 && !producerReleased.load(std::memory_order_relaxed);
}

void PointQueue::ReleaseProducer() {
    {
        std::lock_guard<std::mutex> hold(roomLock);
        producerReleased = true;
    }
    roomMade.notify_one();
}

void PointQueue::SignalProducer() {
    { std::lock_guard<std::mutex> hold(roomLock); }
    roomMade.notify_one();
}

void PointQueue::BeginPushBatch() {
    batchEnd = writePos.load(std::memory_order_relaxed);
    batching = true;
}

void PointQueue::EndPushBatch() {
    batching = false;
    Publish(batchEnd);
}

void PointQueue::Publish(int32_t end) {
    // Sequentially consistent with the consumer's announcement in WaitForEntries: either the
    // consumer sees these entries before it blocks, or the check below sees it waiting.
    writePos.store(end, std::memory_order_seq_cst);
    if (consumerWaiting.load(std::memory_order_seq_cst)) {
        SignalConsumer();
    }
}

bool PointQueue::PopPoint(PointRecord& record) {
    const int32_t position = readPos.load(std::memory_order_relaxed);
    record = entries[static_cast<size_t>(position)];
    readPos.store(Next(position), std::memory_order_seq_cst);
    if (producerWaiting.load(std::memory_order_seq_cst) && FreeEntries() >= kRoomToResume) {
        SignalProducer();
    }
    return true;
}

int32_t PointQueue::GetPointCount() const {
    const int32_t difference =
        writePos.load(std::memory_order_seq_cst) - readPos.load(std::memory_order_seq_cst);
    return difference >= 0 ? difference : difference + kEntries;
}

bool PointQueue::WaitForEntries(uint32_t timeoutMs) {
    std::unique_lock<std::mutex> hold(signalLock);
    consumerWaiting.store(true, std::memory_order_seq_cst);
    const auto ready = [this] { return wakeRequested || GetPointCount() > 0; };
    if (timeoutMs == kWaitForever) {
        entryArrived.wait(hold, ready);
    } else {
        entryArrived.wait_for(hold, std::chrono::milliseconds(timeoutMs), ready);
    }
    consumerWaiting.store(false, std::memory_order_relaxed);
    wakeRequested = false;
    return GetPointCount() > 0;
}

void PointQueue::WakeConsumer() {
    {
        std::lock_guard<std::mutex> hold(signalLock);
        wakeRequested = true;
    }
    entryArrived.notify_one();
}

void PointQueue::SignalConsumer() {
    // Passing through the lock orders this after the consumer's look at the queue, or before
    // it; the notification then follows outside it, so that the woken consumer does not at once
    // block on the lock it needs.
    { std::lock_guard<std::mutex> hold(signalLock); }
    entryArrived.notify_one();
}

void PointQueue::ResetQueue() {
    writePos.store(0, std::memory_order_relaxed);
    readPos.store(0, std::memory_order_relaxed);
    dropped.store(0, std::memory_order_relaxed);
    producerReleased.store(false, std::memory_order_relaxed);
}

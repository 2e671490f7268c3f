#include "processing/CircularBufferWin.h"

#include <algorithm>
#include <cstring>

int32_t CircularBufferWin::CountLocked() const {
    const int32_t difference = writePos - readPos;
    return difference >= 0 ? difference : difference + kCapacity;
}

void CircularBufferWin::ResetRing() {
    // An empty ring has no data to signal: a wake-up left over from stopping the previous reader
    // would otherwise keep the next input loop from ever blocking.
    std::lock_guard<std::mutex> hold(lock);
    writePos = 0;
    readPos = 0;
    dataSignalled = false;
    writerReleased = false;
}

int32_t CircularBufferWin::PutBytes(const uint8_t* bytes, int32_t length) {
    // Stores the block part by part as room is made; the reader is woken after each part, so
    // that it can make the room that the rest waits for.
    int32_t stored = 0;
    std::unique_lock<std::mutex> hold(lock);
    while (stored < length) {
        const int32_t part = StoreLocked(bytes + stored, length - stored);
        stored += part;
        if (part > 0) {
            dataSignalled = true;
            dataEvent.notify_one();
        }
        if (stored == length || writerReleased) {
            break;
        }
        writerWaiting = true;
        roomEvent.wait(hold, [this] { return writerReleased || CountLocked() < kHighWaterMark; });
        writerWaiting = false;
    }
    return CountLocked();
}

int32_t CircularBufferWin::StoreLocked(const uint8_t* bytes, int32_t length) {
    const int32_t stored = std::max(0, std::min(length, kHighWaterMark - CountLocked()));
    if (stored > 0) {
        const int32_t first = std::min(stored, kCapacity - writePos);
        std::memcpy(buffer.data() + writePos, bytes, static_cast<size_t>(first));
        std::memcpy(buffer.data(), bytes + first, static_cast<size_t>(stored - first));
        writePos = (writePos + stored) % kCapacity;
    }
    return stored;
}

void CircularBufferWin::ReleaseWriter() {
    {
        std::lock_guard<std::mutex> hold(lock);
        writerReleased = true;
    }
    roomEvent.notify_all();
}

void CircularBufferWin::RoomMadeLocked() {
    if (writerWaiting) {
        roomEvent.notify_one();
    }
}

void CircularBufferWin::PutByte(uint8_t byte) {
    {
        std::lock_guard<std::mutex> hold(lock);
        buffer[static_cast<size_t>(writePos)] = byte;
        writePos = (writePos + 1) % kCapacity;
        dataSignalled = true;
    }
    dataEvent.notify_one();
}

uint8_t CircularBufferWin::GetByte() {
    std::lock_guard<std::mutex> hold(lock);
    const uint8_t byte = buffer[static_cast<size_t>(readPos)];
    readPos = (readPos + 1) % kCapacity;
    if (CountLocked() == 0) {
        dataSignalled = false;
    }
    RoomMadeLocked();
    return byte;
}

int32_t CircularBufferWin::GetCount() {
    std::lock_guard<std::mutex> hold(lock);
    return CountLocked();
}

int32_t CircularBufferWin::WaitForData() {
    std::unique_lock<std::mutex> hold(lock);
    if (CountLocked() > 0) {
        return CountLocked();
    }
    dataEvent.wait(hold, [this] { return dataSignalled; });
    return CountLocked();
}

void CircularBufferWin::WakeReader() {
    {
        std::lock_guard<std::mutex> hold(lock);
        dataSignalled = true;
    }
    dataEvent.notify_one();
}

int32_t CircularBufferWin::GetBytes(uint8_t* bytes, int32_t maximum) {
    std::lock_guard<std::mutex> hold(lock);
    const int32_t taken = std::max(0, std::min(maximum, CountLocked()));
    if (taken > 0) {
        const int32_t first = std::min(taken, kCapacity - readPos);
        std::memcpy(bytes, buffer.data() + readPos, static_cast<size_t>(first));
        std::memcpy(bytes + first, buffer.data(), static_cast<size_t>(taken - first));
        readPos = (readPos + taken) % kCapacity;
    }
    if (CountLocked() == 0) {
        dataSignalled = false;
    }
    RoomMadeLocked();
    return taken;
}

#include "processing/CircularBufferWin.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

TEST(CircularBuffer, WrapsAroundTheEndOfItsStorage) {
    CircularBufferWin ring;
    EXPECT_EQ(ring.GetCount(), 0);
    for (int i = 0; i < CircularBufferWin::kCapacity; ++i) {
        const auto byte = static_cast<uint8_t>(i * 7);
        ring.PutBytes(&byte, 1);
        ASSERT_EQ(ring.GetByte(), byte);
    }
    EXPECT_EQ(ring.GetCount(), 0);
    // Positions are back at the start; two bytes before the end, a block crosses it.
    std::vector<uint8_t> filler(CircularBufferWin::kHighWaterMark, 0);
    for (const int32_t size : {CircularBufferWin::kHighWaterMark, 8}) {
        ring.PutBytes(filler.data(), size);
        while (ring.GetCount() > 0) {
            ring.GetByte();
        }
    }
    const uint8_t block[] = {1, 2, 3, 4, 5};
    EXPECT_EQ(ring.PutBytes(block, 5), 5);
    for (uint8_t expected : block) {
        EXPECT_EQ(ring.GetByte(), expected);
    }
}

TEST(CircularBuffer, GetBytesTakesInOrderAcrossTheEndAndClearsTheSignalOnceEmpty) {
    CircularBufferWin ring;
    // Both positions move to three bytes before the end of the storage.
    std::vector<uint8_t> filler(CircularBufferWin::kHighWaterMark);
    std::vector<uint8_t> taken(CircularBufferWin::kCapacity);
    for (const int32_t size : {CircularBufferWin::kHighWaterMark, 7}) {
        ring.PutBytes(filler.data(), size);
        EXPECT_EQ(ring.GetBytes(taken.data(), static_cast<int32_t>(taken.size())), size);
    }
    const uint8_t block[] = {1, 2, 3, 4, 5, 6, 7};
    ring.PutBytes(block, 7);
    uint8_t out[8] = {};
    EXPECT_EQ(ring.GetBytes(out, 4), 4);
    EXPECT_EQ(ring.GetCount(), 3);
    EXPECT_EQ(ring.WaitForData(), 3) << "bytes held, so no wait";
    EXPECT_EQ(ring.GetBytes(out + 4, 8), 3);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 7), std::vector<uint8_t>(block, block + 7));
    EXPECT_EQ(ring.GetBytes(out, 8), 0);

    // Emptied by GetBytes, the ring blocks its reader again until bytes come.
    std::atomic<bool> returned{false};
    std::thread reader([&] {
        ring.WaitForData();
        returned = true;
    });
    std::this_thread::sleep_for(30ms);
    EXPECT_FALSE(returned.load());
    ring.PutBytes(block, 1);
    reader.join();
}

// A block that does not fit waits for the reader's room and is stored whole, in order; a
// release (the reader is being stopped) ends the wait at once, until the next reset.
TEST(CircularBuffer, ABlockThatDoesNotFitWaitsForRoomUntilReleased) {
    CircularBufferWin ring;
    for (int round = 0; round < 2; ++round) {
        std::vector<uint8_t> block(32700, 0xAA);
        EXPECT_EQ(ring.PutBytes(block.data(), 32700), 32700);
        const std::vector<uint8_t> more(100, 0xBB);
        std::atomic<int32_t> held{-1};
        std::thread writer([&] { held = ring.PutBytes(more.data(), 100); });
        // The writer stores what fits and waits under the same hold of the ring's lock: once the
        // ring is full it waits, or has wrongly returned. It starts when the machine lets it.
        while (ring.GetCount() < CircularBufferWin::kHighWaterMark) {
            std::this_thread::sleep_for(1ms);
        }
        std::this_thread::sleep_for(30ms);  // time for a writer that cuts the block to return
        EXPECT_EQ(held.load(), -1) << "the block was cut instead of waiting";
        EXPECT_EQ(ring.GetCount(), CircularBufferWin::kHighWaterMark);
        if (round == 0) {
            EXPECT_EQ(ring.GetBytes(block.data(), 32700), 32700);
            writer.join();
            EXPECT_EQ(held.load(), 100);
            EXPECT_EQ(ring.GetBytes(block.data(), 200), 100);
            EXPECT_EQ(std::vector<uint8_t>(block.begin(), block.begin() + 100), more);
        } else {
            ring.ReleaseWriter();
            writer.join();
            EXPECT_EQ(held.load(), CircularBufferWin::kHighWaterMark);
        }
        ring.ResetRing();
    }
}

// A reset ring is as new: no bytes, and no wake-up left over from stopping an earlier reader,
// so that the next reader blocks until a byte comes.
TEST(CircularBuffer, ResetDiscardsHeldBytesAndALeftOverWakeUp) {
    CircularBufferWin ring;
    const uint8_t block[] = {9, 9, 9};
    ring.PutBytes(block, 3);
    ring.WakeReader();
    ring.ResetRing();
    EXPECT_EQ(ring.GetCount(), 0);
    std::atomic<int> result{-1};
    std::thread reader([&] { result = ring.WaitForData(); });
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(result.load(), -1) << "the reset ring still signalled data";
    ring.PutBytes(block, 1);
    reader.join();
    EXPECT_EQ(result.load(), 1);
}

TEST(CircularBuffer, WakeReaderReleasesABlockedWaitAndStaysSignalled) {
    CircularBufferWin ring;
    std::atomic<int> result{-1};
    std::thread reader([&] { result = ring.WaitForData(); });
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(result.load(), -1) << "WaitForData returned on an empty ring";
    ring.WakeReader();
    reader.join();
    EXPECT_EQ(result.load(), 0);
    EXPECT_EQ(ring.WaitForData(), 0);  // the signal stays set until a take empties the ring
    const uint8_t byte = 42;
    ring.PutBytes(&byte, 1);
    EXPECT_EQ(ring.WaitForData(), 1);
    EXPECT_EQ(ring.GetByte(), 42);
}

TEST(CircularBuffer, StoredByteWakesABlockedWait) {
    CircularBufferWin ring;
    std::atomic<int> result{-1};
    std::thread reader([&] { result = ring.WaitForData(); });
    std::this_thread::sleep_for(20ms);
    const uint8_t bytes[] = {1, 2};
    ring.PutBytes(bytes, 2);
    reader.join();
    EXPECT_GE(result.load(), 1);
}

// The writer relies on the ring's wait for room, with blocks larger than the ring among them.
TEST(CircularBuffer, MovesTenMegabytesBetweenThreadsInOrder) {
    CircularBufferWin ring;
    constexpr size_t kTotal = 10 * 1024 * 1024;
    std::atomic<bool> mismatch{false};
    std::thread consumer([&] {
        for (size_t taken = 0; taken < kTotal;) {
            if (ring.GetCount() == 0 && ring.WaitForData() == 0) {
                continue;
            }
            if (ring.GetByte() != static_cast<uint8_t>(taken * 31 + taken / 251)) {
                mismatch = true;
            }
            ++taken;
        }
    });
    std::vector<uint8_t> block(50000);
    for (size_t sent = 0, round = 0; sent < kTotal; ++round) {
        const size_t n = std::min(round % 2 == 0 ? size_t{1000} : block.size(), kTotal - sent);
        for (size_t i = 0; i < n; ++i) {
            block[i] = static_cast<uint8_t>((sent + i) * 31 + (sent + i) / 251);
        }
        ring.PutBytes(block.data(), static_cast<int32_t>(n));
        sent += n;
    }
    consumer.join();
    EXPECT_FALSE(mismatch.load());
}

}  // namespace

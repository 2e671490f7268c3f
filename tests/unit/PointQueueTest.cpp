#include "processing/PointQueue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

TEST(PointQueue, WrapsAroundAndKeepsOrder) {
    PointQueue queue;
    EXPECT_EQ(queue.GetPointCount(), 0);
    PointRecord record;
    for (uint32_t i = 0; i < 5000; ++i) {
        queue.PushPoint(i, i + 1, static_cast<int32_t>(i) - 7);
        ASSERT_EQ(queue.GetPointCount(), 1);
        queue.PopPoint(record);
        ASSERT_EQ(record.penData, i);
        ASSERT_EQ(record.timeStamp, i + 1);
        ASSERT_EQ(record.auxValue, static_cast<int32_t>(i) - 7);
    }
    EXPECT_EQ(queue.GetPointCount(), 0);
    for (uint32_t i = 0; i < 3000; ++i) {
        queue.PushItem(i);
    }
    EXPECT_EQ(queue.GetPointCount(), 3000);
    queue.PopPoint(record);
    EXPECT_EQ(record.penData, 0u);
    EXPECT_EQ(record.timeStamp, 0u);
    EXPECT_EQ(record.auxValue, 0);
}

TEST(PointQueue, FullQueueDropsOnlyTheNewEntry) {
    PointQueue queue;
    for (uint32_t i = 0; i < 4999; ++i) {
        queue.PushItem(i);
    }
    EXPECT_EQ(queue.GetPointCount(), 4999);
    queue.PushItem(99999);
    queue.PushItem(99998);
    EXPECT_EQ(queue.GetPointCount(), 4999);
    EXPECT_EQ(queue.DroppedCount(), 2u);
    PointRecord record;
    for (uint32_t i = 0; i < 4999; ++i) {
        queue.PopPoint(record);
        ASSERT_EQ(record.penData, i);
    }
    EXPECT_EQ(queue.GetPointCount(), 0);
}

TEST(PointQueue, ResetEmptiesIt) {
    PointQueue queue;
    queue.PushItem(1);
    queue.PushItem(2);
    queue.ResetQueue();
    EXPECT_EQ(queue.GetPointCount(), 0);
}

TEST(PointQueue, PenDataUnpacksToTwelveBitCoordinates) {
    const uint32_t penData = 0x08 | 0xAB << 8 | 0xCD << 16 | 0xEFu << 24;
    EXPECT_EQ(PenStatus(penData), 0x08);
    EXPECT_EQ(PenX(penData), 2748);
    EXPECT_EQ(PenY(penData), 3567);
}

// A producer held by the full queue, as a TCP reader is: a million entries arrive in order, none
// dropped, also from batches larger than the queue, which it hands over as it waits.
TEST(PointQueue, ProducerThatWaitsForRoomMovesAMillionEntriesWithoutLoss) {
    PointQueue queue;
    queue.SetWhenFull(WhenFull::kWaitForRoom);
    constexpr uint32_t kTotal = 1000000;
    std::atomic<bool> failed{false};
    std::thread consumer([&] {
        PointRecord record;
        for (uint32_t expected = 0; expected < kTotal;) {
            if (queue.GetPointCount() == 0 && !queue.WaitForEntries(5000)) {
                failed = true;  // the producer waits for room it was never told of
                queue.ReleaseProducer();
                return;
            }
            queue.PopPoint(record);
            failed = failed || record.penData != expected || record.timeStamp != ~expected;
            ++expected;
        }
    });
    const uint32_t batchSizes[] = {1, 300, 7000};
    for (uint32_t i = 0, batch = 0; i < kTotal; ++batch) {
        queue.BeginPushBatch();
        for (const uint32_t end = std::min(kTotal, i + batchSizes[batch % 3]); i < end; ++i) {
            queue.PushPoint(i, ~i, 0);
        }
        queue.EndPushBatch();
    }
    consumer.join();
    EXPECT_FALSE(failed.load());
    EXPECT_EQ(queue.DroppedCount(), 0u);
}

// Stopping a capture releases a producer held by the full queue at once; what it pushes then is
// not kept, nor counted as lost, until the queue is reset for the next capture.
TEST(PointQueue, ReleaseEndsAWaitForRoomUntilTheNextReset) {
    PointQueue queue;
    queue.SetWhenFull(WhenFull::kWaitForRoom);
    for (int round = 0; round < 2; ++round) {
        for (uint32_t i = 0; i < PointQueue::kEntries - 1; ++i) {
            queue.PushItem(i);
        }
        std::atomic<bool> returned{false};
        std::thread producer([&] {
            queue.PushItem(1);
            returned = true;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        EXPECT_FALSE(returned.load()) << "a push onto the full queue did not wait";
        queue.ReleaseProducer();
        producer.join();
        queue.PushItem(2);
        EXPECT_EQ(queue.GetPointCount(), PointQueue::kEntries - 1);
        EXPECT_EQ(queue.DroppedCount(), 0u);
        queue.ResetQueue();
    }
}

TEST(PointQueue, BlockedConsumerIsWokenByEveryPushThatFindsItWaiting) {
    PointQueue queue;
    constexpr uint32_t kTotal = 200000;
    std::atomic<bool> lostWakeUp{false};
    std::thread consumer([&] {
        PointRecord record;
        for (uint32_t expected = 0; expected < kTotal && !lostWakeUp;) {
            if (queue.GetPointCount() == 0 && !queue.WaitForEntries(2000)) {
                lostWakeUp = true;
                break;
            }
            queue.PopPoint(record);
            if (record.penData != expected++) {
                lostWakeUp = true;
            }
        }
    });
    // Bursts of every size, so that pushes meet the consumer both busy and blocked.
    for (uint32_t i = 0; i < kTotal && !lostWakeUp; ++i) {
        while (queue.GetPointCount() >= PointQueue::kEntries - 1) {
            std::this_thread::yield();
        }
        queue.PushItem(i);
        if (i % 97 == 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(i % 5 * 20));
        }
    }
    consumer.join();
    EXPECT_FALSE(lostWakeUp.load());
}

// Hands single points, one at a time, to a consumer that blocks between them; the count of
// points not taken within 2 s. A push that loses its wake-up leaves its point (a pen's last one
// is followed by no other) waiting until the next push: here for ever.
uint32_t LateSingleHandOffs(uint32_t handOffs) {
    PointQueue queue;
    std::atomic<uint32_t> taken{0};
    std::atomic<bool> stop{false};
    std::thread consumer([&] {
        PointRecord record;
        while (!stop) {
            if (queue.GetPointCount() > 0 || queue.WaitForEntries(kWaitForever)) {
                queue.PopPoint(record);
                taken.fetch_add(1);
            }
        }
    });
    uint32_t late = 0;
    for (uint32_t i = 0; i < handOffs && late == 0; ++i) {
        queue.PushItem(i);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (taken.load() == i && std::chrono::steady_clock::now() < deadline) {
        }
        late += taken.load() == i ? 1 : 0;
    }
    stop = true;
    queue.WakeConsumer();
    consumer.join();
    return late;
}

// Four pairs a core, their producers spinning, crowd the machine's cores, so that the scheduler
// often cuts a consumer's way into its wait just when its producer pushes.
TEST(PointQueue, EachSinglePointWakesAConsumerOnItsWayIntoTheWait) {
    const unsigned pairCount = std::max(8u, 4 * std::thread::hardware_concurrency());
    std::atomic<uint32_t> late{0};
    std::vector<std::thread> pairs;
    for (unsigned pair = 0; pair < pairCount; ++pair) {
        pairs.emplace_back([&late] { late += LateSingleHandOffs(5000); });
    }
    for (std::thread& pair : pairs) {
        pair.join();
    }
    EXPECT_EQ(late.load(), 0u);
}

TEST(PointQueue, ABatchOfPushesWakesTheBlockedConsumerOnceItEnds) {
    PointQueue queue;
    std::atomic<int32_t> heldWhenWoken{-1};
    std::thread consumer([&] {
        queue.WaitForEntries(kWaitForever);
        heldWhenWoken = queue.GetPointCount();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    queue.BeginPushBatch();
    for (uint32_t i = 0; i < 3; ++i) {
        queue.PushItem(i);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    queue.EndPushBatch();
    consumer.join();
    EXPECT_EQ(heldWhenWoken.load(), 3);
}

// A consumer that is not blocked sees a batch whole at its end, never a part of it; a batch
// that fills the queue drops only its own later entries.
TEST(PointQueue, ABatchReachesTheConsumerWholeAtItsEnd) {
    PointQueue queue;
    queue.PushItem(7);
    queue.BeginPushBatch();
    for (uint32_t i = 0; i < 5000; ++i) {
        queue.PushItem(i);
        ASSERT_EQ(queue.GetPointCount(), 1);
    }
    queue.EndPushBatch();
    EXPECT_EQ(queue.GetPointCount(), 4999);
    EXPECT_EQ(queue.DroppedCount(), 2u);
    PointRecord record;
    queue.PopPoint(record);
    EXPECT_EQ(record.penData, 7u);
    for (uint32_t i = 0; i < 4998; ++i) {
        queue.PopPoint(record);
        ASSERT_EQ(record.penData, i);
    }
}

TEST(PointQueue, WaitEndsOnAWakeUpOrAtItsTimeout) {
    PointQueue queue;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(queue.WaitForEntries(20));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(20));
    queue.WakeConsumer();
    EXPECT_FALSE(queue.WaitForEntries(kWaitForever));
    queue.PushItem(1);
    EXPECT_TRUE(queue.WaitForEntries(kWaitForever));
}

}  // namespace

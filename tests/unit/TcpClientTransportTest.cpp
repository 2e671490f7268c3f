#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "LoopbackPeer.h"
#include "TemporaryRoot.h"
#include "tablet/Tablet.h"

namespace {

using loopback::AppendWord;
using loopback::Bytes;
using loopback::Connection;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

Bytes Joined(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

// The test plays the pad server; the Tablet connects to it as transport kind 5.
class TcpClientTransport : public ::testing::Test {
protected:
    TcpClientTransport() {
        root.WriteSettings("[Tablet]\nTabletType=5\nTabletIpAddress=127.0.0.1\nSocketPort=" +
                           std::to_string(server.port()) + "\n");
        tablet = std::make_unique<Tablet>();
    }

    void Open() {
        ASSERT_TRUE(tablet->OpenTablet());
        server_side = server.Accept(2s);
        ASSERT_TRUE(server_side.valid());
    }

    // The penData of every point that arrives within the timeout, up to count.
    std::vector<uint32_t> NextPoints(size_t count, std::chrono::milliseconds timeout) {
        std::vector<uint32_t> points;
        const auto deadline = Clock::now() + timeout;
        ::PointRecord record{};
        while (points.size() < count && Clock::now() < deadline) {
            if (tablet->GetNextPoint(record, 10)) {
                EXPECT_NE(record.timeStamp, 0u) << "a point without its arrival time";
                EXPECT_EQ(record.auxValue, 0);
                points.push_back(record.penData);
            }
        }
        return points;
    }

    testsupport::ScopedInkoraRoot root;
    loopback::Server server;
    std::unique_ptr<Tablet> tablet;
    Connection server_side;
};

TEST_F(TcpClientTransport, QueuesPenPointRecordsInOrderAndSkipsOtherTypes) {
    Open();
    ASSERT_TRUE(server_side.SendAll(Joined({loopback::PointRecordBytes(0, 0x12345601),
                                            loopback::PointRecordBytes(3, 0x77777777),
                                            loopback::PointRecordBytes(0, 0x9ABCDE00)})));
    EXPECT_EQ(NextPoints(3, 300ms), (std::vector<uint32_t>{0x12345601, 0x9ABCDE00}));
    EXPECT_TRUE(tablet->CloseTablet());
}

TEST_F(TcpClientTransport, RecordsCutAcrossReceivesArriveWhole) {
    Open();
    const Bytes stream = Joined(
        {loopback::PointRecordBytes(0, 0x11111101), loopback::PointRecordBytes(0, 0x22222201),
         loopback::PointRecordBytes(5, 0x55555555), loopback::PointRecordBytes(0, 0x33333300),
         loopback::PointRecordBytes(0, 0x44444401)});
    // Pieces of 7 bytes, each its own receive: every record boundary falls inside a piece.
    for (size_t offset = 0; offset < stream.size(); offset += 7) {
        const size_t end = std::min(stream.size(), offset + 7);
        ASSERT_TRUE(server_side.SendAll(Bytes(stream.begin() + offset, stream.begin() + end)));
        std::this_thread::sleep_for(15ms);
    }
    EXPECT_EQ(NextPoints(5, 300ms),
              (std::vector<uint32_t>{0x11111101, 0x22222201, 0x33333300, 0x44444401}));
    EXPECT_TRUE(tablet->CloseTablet());
}

TEST_F(TcpClientTransport, WritesReachTheServerAsTypedFrames) {
    SocketIoIF& transport = *tablet->socketTransport;
    const uint8_t request = 0x00;
    EXPECT_FALSE(transport.TabletWrite(&request, 1)) << "a closed Tablet sends nothing";
    Open();

    EXPECT_TRUE(transport.TabletWrite(&request, 1));
    EXPECT_EQ(server_side.Receive(9, 1s), (Bytes{1, 0, 0, 0, 1, 0, 0, 0, 0}));

    Bytes largest(32768);
    for (size_t i = 0; i < largest.size(); ++i) {
        largest[i] = static_cast<uint8_t>(i * 7 + 3);
    }
    EXPECT_TRUE(transport.TabletWrite(largest.data(), 32768));
    Bytes expected;
    AppendWord(expected, 1);
    AppendWord(expected, 32768);
    expected.insert(expected.end(), largest.begin(), largest.end());
    EXPECT_EQ(server_side.Receive(expected.size(), 2s), expected);

    Bytes tooLarge(32769, 0xAA);
    EXPECT_FALSE(transport.TabletWrite(tooLarge.data(), 32769));
    EXPECT_TRUE(server_side.Receive(1, 100ms).empty());
    EXPECT_TRUE(tablet->CloseTablet());
}

// A server that stops reading fills the connection: the frame in hand must still go out
// whole once it reads again, and the frames after it must follow intact.
TEST_F(TcpClientTransport, FramesStayWholeWhileTheServerReadsSlowly) {
    Open();
    constexpr int32_t kPayload = 32768;
    std::atomic<int> writesDone{0};
    std::atomic<bool> serverReading{false};
    std::atomic<bool> writerDone{false};
    std::atomic<bool> stopWriting{false};
    std::thread writer([&] {
        Bytes payload(kPayload);
        for (int frame = 0, afterStall = 0; frame < 400 && afterStall < 8 && !stopWriting;
             ++frame) {
            afterStall += serverReading ? 1 : 0;
            std::fill(payload.begin(), payload.end(), static_cast<uint8_t>(frame));
            EXPECT_TRUE(tablet->socketTransport->TabletWrite(payload.data(), kPayload));
            ++writesDone;
        }
        writerDone = true;
    });
    // Reads nothing until the writer has made no progress for 150 ms: the connection is full.
    int lastSeen = -1;
    auto lastProgress = Clock::now();
    while (!writerDone && Clock::now() - lastProgress < 150ms) {
        if (writesDone != lastSeen) {
            lastSeen = writesDone;
            lastProgress = Clock::now();
        }
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_FALSE(writerDone) << "the connection never filled up";
    serverReading = true;
    Bytes stream;
    const auto deadline = Clock::now() + 5s;
    for (bool quiet = false; !(quiet && writerDone) && Clock::now() < deadline;) {
        const Bytes got = server_side.Receive(1 << 20, 50ms);
        stream.insert(stream.end(), got.begin(), got.end());
        quiet = got.empty();
    }
    int framesRead = 0;
    for (size_t offset = 0; offset < stream.size(); offset += 8 + kPayload, ++framesRead) {
        const bool whole = stream.size() - offset >= size_t{8 + kPayload} &&
                           Bytes(stream.begin() + offset, stream.begin() + offset + 8) ==
                               (Bytes{1, 0, 0, 0, 0, 0x80, 0, 0}) &&
                           stream[offset + 8] == static_cast<uint8_t>(framesRead) &&
                           stream[offset + 7 + kPayload] == static_cast<uint8_t>(framesRead);
        if (!whole) {
            ADD_FAILURE() << "frame " << framesRead << " is not whole";
            break;
        }
    }
    stopWriting = true;
    writer.join();
    EXPECT_EQ(framesRead, writesDone.load());
    EXPECT_TRUE(tablet->CloseTablet());
}

TEST_F(TcpClientTransport, InitTabletWhileOpenRefusesWithoutConnecting) {
    Open();
    EXPECT_FALSE(tablet->socketTransport->InitTablet());
    EXPECT_FALSE(server.Accept(100ms).valid());
    EXPECT_TRUE(tablet->isOpen);
    EXPECT_TRUE(tablet->CloseTablet());
}

TEST_F(TcpClientTransport, ServerThatClosesLeavesCloseQuickAndTheTabletReopens) {
    Open();
    server_side.Close();
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(tablet->pointQueue->GetPointCount(), 0);
    const auto start = Clock::now();
    EXPECT_TRUE(tablet->CloseTablet());
    EXPECT_LT(Clock::now() - start, 200ms);
    EXPECT_TRUE(tablet->socketTransport->TabletClose()) << "closing a closed transport";

    Open();
    ASSERT_TRUE(server_side.SendAll(loopback::PointRecordBytes(0, 0x0ABCDE01)));
    EXPECT_EQ(NextPoints(1, 300ms), (std::vector<uint32_t>{0x0ABCDE01}));
    EXPECT_TRUE(tablet->CloseTablet());
}

TEST_F(TcpClientTransport, NoServerMeansNoOpen) {
    tablet->settings.SocketPort = loopback::FreePort();
    EXPECT_FALSE(tablet->OpenTablet());
    EXPECT_FALSE(tablet->isOpen);
}

}  // namespace

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "NamedPipePeer.h"
#include "TemporaryRoot.h"
#include "platform/UsbPipeDevices.h"
#include "tablet/Tablet.h"

// A named pipe stands for the driver's interface: reads block in ReadFile the same way.

namespace {

using platform::UsbPipe;
using testsupport::NamedPipePeer;

// A pipe opened by path on the client end of a fresh named pipe.
struct OpenedPipe {
    OpenedPipe() {
        opened = pipe.Open(device.Path());
        device.AcceptClient();
    }
    NamedPipePeer device;
    UsbPipe pipe;
    uint32_t opened;
};

struct ReadResult {
    bool succeeded = true;
    int32_t count = -1;
};

ReadResult ReadOnce(UsbPipe& pipe) {
    uint8_t packet[UsbPipe::kPacketSize] = {};
    ReadResult result;
    result.succeeded = pipe.ReadPacket(packet, result.count) == platform::UsbPipeRead::kPacket;
    return result;
}

TEST(UsbPipeWin32, WithoutTheDriverNoInterfaceIsListedAndNoneOpens) {
    std::vector<std::string> paths = {"left from before"};
    EXPECT_EQ(platform::ListDeviceInterfaces(platform::kUsbPipeInterfaceClass, paths), 0u);
    EXPECT_TRUE(paths.empty());

    UsbPipe pipe;
    EXPECT_EQ(pipe.Open("\\\\.\\pipe\\inkora-no-such-pipe"), uint32_t{ERROR_FILE_NOT_FOUND});
    EXPECT_FALSE(pipe.IsOpen());

    testsupport::ScopedInkoraRoot root;
    root.WriteSettings("[Tablet]\nTabletType=2\n");
    Tablet tablet;
    EXPECT_FALSE(tablet.OpenTablet());
    EXPECT_TRUE(tablet.usbTransport->TabletClose());  // never opened
}

TEST(UsbPipeWin32, EachReadTakesOnePacketUntilTheDeviceGoes) {
    OpenedPipe opened;
    ASSERT_EQ(opened.opened, 0u);
    ASSERT_TRUE(opened.device.Write({0x08, 0x12, 0x34, 0x56, 0x20, 0x01, 0x02, 0x03}));
    for (const std::vector<uint8_t>& expected : {std::vector<uint8_t>{0x08, 0x12, 0x34, 0x56},
                                                 std::vector<uint8_t>{0x20, 0x01, 0x02, 0x03}}) {
        uint8_t packet[UsbPipe::kPacketSize] = {};
        int32_t count = 0;
        ASSERT_EQ(opened.pipe.ReadPacket(packet, count), platform::UsbPipeRead::kPacket);
        EXPECT_EQ(count, UsbPipe::kPacketSize);
        EXPECT_EQ(std::vector<uint8_t>(packet, packet + UsbPipe::kPacketSize), expected);
    }
    opened.device.Close();
    const ReadResult afterwards = ReadOnce(opened.pipe);
    EXPECT_FALSE(afterwards.succeeded);
    EXPECT_EQ(afterwards.count, 0);
}

TEST(UsbPipeWin32, CancelEndsAPendingReadAndEveryLaterOneUntilClose) {
    OpenedPipe opened;
    ASSERT_EQ(opened.opened, 0u);
    ReadResult pending;
    std::thread reading([&] { pending = ReadOnce(opened.pipe); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    opened.pipe.CancelReads(std::chrono::milliseconds(1000));
    reading.join();
    EXPECT_FALSE(pending.succeeded);
    EXPECT_EQ(pending.count, 0);

    ASSERT_TRUE(opened.device.Write({1, 2, 3, 4}));
    EXPECT_FALSE(ReadOnce(opened.pipe).succeeded);

    opened.pipe.Close();
    NamedPipePeer another;
    ASSERT_EQ(opened.pipe.Open(another.Path()), 0u);
    another.AcceptClient();
    ASSERT_TRUE(another.Write({1, 2, 3, 4}));
    EXPECT_TRUE(ReadOnce(opened.pipe).succeeded);
}

TEST(UsbPipeWin32, ACancelRacingTheStartOfAReadIsNeverLost) {
    for (int round = 0; round < 200; ++round) {
        OpenedPipe opened;
        ASSERT_EQ(opened.opened, 0u);
        std::atomic<bool> started{false};
        ReadResult result;
        std::thread reading([&] {
            started = true;
            result = ReadOnce(opened.pipe);
        });
        while (!started) {
        }
        for (int spin = 0; spin < round * 50; ++spin) {
            std::atomic_signal_fence(std::memory_order_seq_cst);
        }
        opened.pipe.CancelReads(std::chrono::milliseconds(1000));
        reading.join();  // hangs when the cancel came before the read and was lost
        ASSERT_FALSE(result.succeeded) << "round " << round;
    }
}

}  // namespace

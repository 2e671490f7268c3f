#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "NamedPipePeer.h"
#include "TemporaryRoot.h"
#include "platform/HidDevices.h"
#include "platform/win32/HidReportIo.h"
#include "tablet/DiagnosticLog.h"
#include "tablet/Tablet.h"
#include "transports/HidIoIFWin.h"

// The reader runs over a named pipe standing for the device: the same Win32 I/O (overlapped
// reads, the kill event, CancelIo) without a HID driver.

namespace {

using platform::HidReadResult;
using platform::HidReadStart;
using platform::HidReadStatus;
using testsupport::NamedPipePeer;

constexpr uint8_t kUntouched = 0xAA;

std::vector<uint8_t> Untouched(size_t size) {
    return std::vector<uint8_t>(size, kUntouched);
}

// A report already there completes ReadFile itself, which reports its length; a failed call
// leaves nothing pending.
TEST(HidClassReader, PadsShortReportsStopsAtCapacityAndFailsOnceTheDeviceIsGone) {
    NamedPipePeer device;
    const auto reader = platform::MakeHidClassReader(device.OpenClient(FILE_FLAG_OVERLAPPED), 8);
    ASSERT_NE(reader, nullptr);
    std::vector<uint8_t> buffer = Untouched(10);

    ASSERT_TRUE(device.Write({0x00, 0x03, 0x11, 0x22, 0x33}));
    HidReadResult read = reader->ReadReport(buffer.data(), 10);
    ASSERT_EQ(read.status, HidReadStatus::kReport);
    EXPECT_EQ(read.start, HidReadStart::kCompleted);
    EXPECT_EQ(read.startBytes, 5);
    EXPECT_EQ(read.received, 5);
    EXPECT_EQ(buffer, (std::vector<uint8_t>{0x00, 0x03, 0x11, 0x22, 0x33, 0, 0, 0, kUntouched,
                                            kUntouched}));

    buffer = Untouched(10);
    ASSERT_TRUE(device.Write({1, 2, 3, 4, 5, 6, 7, 8}));
    read = reader->ReadReport(buffer.data(), 3);
    ASSERT_EQ(read.status, HidReadStatus::kReport);
    EXPECT_EQ(read.startBytes, 8);
    EXPECT_EQ(read.received, 3);
    EXPECT_EQ(buffer, (std::vector<uint8_t>{1, 2, 3, kUntouched, kUntouched, kUntouched, kUntouched,
                                            kUntouched, kUntouched, kUntouched}));

    device.Close();
    read = reader->ReadReport(buffer.data(), 10);
    EXPECT_EQ(read.status, HidReadStatus::kFailed);
    EXPECT_EQ(read.start, HidReadStart::kFailed);
    EXPECT_EQ(read.received, 0);
}

TEST(HidClassReader, APendingReadEndsWithTheReportOrTheCancel) {
    NamedPipePeer device;
    const auto reader = platform::MakeHidClassReader(device.OpenClient(FILE_FLAG_OVERLAPPED), 8);
    ASSERT_NE(reader, nullptr);
    uint8_t buffer[8] = {};
    HidReadResult read;
    std::thread reading([&] { read = reader->ReadReport(buffer, 8); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_TRUE(device.Write({0, 1, 2, 3, 4, 5, 6, 7}));
    reading.join();
    EXPECT_EQ(read.status, HidReadStatus::kReport);
    EXPECT_EQ(read.start, HidReadStart::kPending);
    EXPECT_EQ(read.startBytes, 0);
    EXPECT_EQ(read.received, 8);

    reading = std::thread([&] { read = reader->ReadReport(buffer, 8); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    reader->Cancel();
    reading.join();  // hangs if the kill event or the cancelled read went unnoticed
    EXPECT_EQ(read.status, HidReadStatus::kCancelled);
    EXPECT_EQ(read.start, HidReadStart::kPending);
    EXPECT_EQ(read.received, 0);

    ASSERT_TRUE(device.Write({0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(reader->ReadReport(buffer, 8).status, HidReadStatus::kCancelled);
}

TEST(HidClassDevices, APathThatIsNoDeviceOpensNeitherWay) {
    const auto devices = platform::CreatePlatformHidDevices();
    const std::string path = "\\\\?\\hid#no_such_device#0";
    EXPECT_EQ(devices->OpenDevice(path), nullptr);
    EXPECT_EQ(devices->OpenReader(path), nullptr);
}

// Wine presents HID interfaces of its own (a mouse and a keyboard), and real systems some that
// this process may open: a read left pending on each must end at Cancel.
TEST(HidClassDevices, APendingReadOnAPresentInterfaceEndsAtCancel) {
    const auto devices = platform::CreatePlatformHidDevices();
    int readersOpened = 0;
    for (const platform::HidInterface& present : devices->EnumerateInterfaces()) {
        EXPECT_FALSE(present.path.empty());
        const auto reader = devices->OpenReader(present.path);
        if (reader == nullptr) {
            continue;
        }
        ++readersOpened;
        HidReadStatus last = HidReadStatus::kReport;
        std::thread reading([&] {
            uint8_t buffer[HidIoIFWin::kReadBufferSize];
            do {
                last = reader->ReadReport(buffer, sizeof buffer).status;
            } while (last == HidReadStatus::kReport);
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        reader->Cancel();
        reading.join();
        EXPECT_EQ(last, HidReadStatus::kCancelled) << present.path;
    }
    if (readersOpened == 0) {
        GTEST_SKIP() << "no HID interface here opens for reading";
    }
}

bool PadPresent() {
    for (const platform::HidInterface& present :
         platform::SystemHidDevices().EnumerateInterfaces()) {
        if (present.vendorId == HidIoIFWin::kPadVendorId) {
            return true;
        }
    }
    return false;
}

TEST(HidTransportOnThisSystem, WithoutAPadTheOpenFailsAndLeavesNothingHeld) {
    if (PadPresent()) {
        GTEST_SKIP() << "a pad is attached";
    }
    testsupport::ScopedInkoraRoot root;
    root.WriteSettings("[Tablet]\nTabletType=6\nEnableLogging=1\n");
    Tablet tablet;
    auto& hid = static_cast<HidIoIFWin&>(*tablet.hidTransport);
    EXPECT_TRUE(hid.TabletClose());  // never opened
    EXPECT_FALSE(tablet.OpenTablet());
    EXPECT_FALSE(hid.HoldsDevice());
    EXPECT_FALSE(hid.ReaderRunning());
    EXPECT_FALSE(hid.CheckConnected());
    const std::string log = root.ReadFile(root.TempPath(kLogFileName));
    for (const char* line :
         {"Looking for Hid Tablet", "Exiting FindTheHid", "FindTheHID  ReportSize = 0"}) {
        EXPECT_NE(log.find(line), std::string::npos) << line << " missing from\n" << log;
    }
    EXPECT_EQ(log.find("Found Hid Tablet"), std::string::npos) << log;
}

}  // namespace

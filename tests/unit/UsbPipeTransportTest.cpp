#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "ProcessCpu.h"
#include "TemporaryRoot.h"
#include "tablet/Tablet.h"
#include "transports/UsbPipePacket.h"

namespace {

using namespace std::chrono_literals;
using testsupport::ScopedInkoraRoot;

UsbPipePacket Parse(std::vector<uint8_t> bytes) {
    const uint8_t packet[4] = {bytes[0], bytes[1], bytes[2], bytes[3]};
    return ParseUsbPipePacket(packet);
}

TEST(UsbPipePacket, SplitsPenPacketsFromOtherPacketsByBitsSixAndFive) {
    UsbPipePacket packet = Parse({0x08, 0x12, 0x34, 0x56});
    EXPECT_TRUE(packet.isPen);
    EXPECT_EQ(packet.x, 0x123);
    EXPECT_EQ(packet.y, 0x456);
    EXPECT_EQ(packet.status, 0x01);  // touch, in the byte stream's layout
    packet = Parse({0x04, 0xFF, 0xF0, 0x00});
    EXPECT_EQ(packet.x, 0xFFF);
    EXPECT_EQ(packet.y, 0);
    EXPECT_EQ(packet.status, 0x40);            // switch
    packet = Parse({0x80, 0x12, 0x34, 0x56});  // bit 7 alone keeps it a pen packet
    EXPECT_TRUE(packet.isPen);
    EXPECT_EQ(packet.status, 0x00);

    packet = Parse({0x20, 0x01, 0x02, 0x03});
    EXPECT_FALSE(packet.isPen);
    EXPECT_EQ(packet.kind, 1);
    EXPECT_EQ(std::vector<uint8_t>(packet.data, packet.data + 3),
              (std::vector<uint8_t>{0x01, 0x02, 0x03}));
    EXPECT_EQ(Parse({0xA0, 0x01, 0x02, 0x03}).kind, 5);
    EXPECT_EQ(Parse({0xFF, 0, 0, 0}).kind, 7);

    const uint8_t zeros[4] = {0, 0, 0, 0};
    const uint8_t filled[4] = {0x08, 0, 0, 0};
    EXPECT_TRUE(IsDeliveredUsbPipePacket(true, 4, zeros));
    EXPECT_TRUE(IsDeliveredUsbPipePacket(true, 0, filled));
    EXPECT_FALSE(IsDeliveredUsbPipePacket(true, 0, zeros));
    EXPECT_FALSE(IsDeliveredUsbPipePacket(false, 0, zeros));
    EXPECT_FALSE(IsDeliveredUsbPipePacket(false, 0, filled));  // part of a packet
}

// The simulated legacy driver: FIFOs named inkora-usbpipe* in $INKORA_ROOT/dev. Writing to a
// FIFO delivers packets to whoever has the node open.
class UsbPipeDevices {
public:
    explicit UsbPipeDevices(const ScopedInkoraRoot& root) : directory(root.path() + "/dev") {
        std::filesystem::create_directory(directory);
    }
    ~UsbPipeDevices() { Unplug(); }

    std::string Add(const std::string& name) {
        const std::string path = directory + "/" + name;
        EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
        return path;
    }
    // Whether the transport has the node open: a FIFO takes a writer only while it has a reader.
    static bool IsOpenedByTheHost(const std::string& path) {
        const int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            return false;
        }
        close(fd);
        return true;
    }
    void PlugIn(const std::string& path) {
        Unplug();
        writer = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(writer, 0) << "the transport does not read " << path;
    }
    void Send(std::vector<uint8_t> bytes) const {
        ASSERT_EQ(write(writer, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    void Unplug() {
        if (writer >= 0) {
            close(writer);
            writer = -1;
        }
    }

private:
    std::string directory;
    int writer = -1;
};

void WriteUsbSettings(const ScopedInkoraRoot& root, const std::string& extra = "") {
    root.WriteSettings("[Tablet]\nTabletType=2\nEnableLogging=1\n" + extra);
}

TEST(UsbPipeTransport, QueuesPenPointsAndHandsOtherPacketsToTheDecoder) {
    ScopedInkoraRoot root;
    UsbPipeDevices devices(root);
    const std::string pad = devices.Add("inkora-usbpipe0");
    WriteUsbSettings(root);
    Tablet tablet;
    tablet.auxValue = 321;  // not carried by this transport's points
    ASSERT_TRUE(tablet.OpenTablet());
    devices.PlugIn(pad);

    devices.Send({0x0C, 0x62, 0x74, 0xC9});  // touch and switch at pad (1575, 1225)
    devices.Send({0x40, 0x15, 0xE2, 0x40});  // serial number 123456, model 5
    devices.Send({0x04, 0xFF, 0xF0, 0x00});  // switch only at pad (4095, 0)
    devices.Send({0x00, 0x00, 0x00, 0x00});  // a delivered packet of zeros is a point too
    PointRecord record{};
    ASSERT_TRUE(tablet.GetNextPoint(record, 1000));
    EXPECT_EQ(PenStatus(record.penData), 0x0C);
    EXPECT_EQ(PenX(record.penData), 1075);
    EXPECT_EQ(PenY(record.penData), 700);
    EXPECT_EQ(record.auxValue, 0);
    EXPECT_NE(record.timeStamp, 0u);
    ASSERT_TRUE(tablet.GetNextPoint(record, 1000));
    EXPECT_EQ(PenStatus(record.penData), 0x04);
    EXPECT_EQ(PenX(record.penData), 2150);
    EXPECT_EQ(PenY(record.penData), 0);
    EXPECT_EQ(tablet.serialNumber, 123456);
    EXPECT_EQ(tablet.modelNumber, 5);
    ASSERT_TRUE(tablet.GetNextPoint(record, 1000));
    EXPECT_EQ(PenStatus(record.penData), 0x00);
    EXPECT_EQ(PenX(record.penData), 0);
    EXPECT_FALSE(tablet.GetNextPoint(record, 30));

    EXPECT_TRUE(tablet.CloseTablet());
    EXPECT_FALSE(UsbPipeDevices::IsOpenedByTheHost(pad));
    const std::string log = root.ReadFile(root.TempPath("tessel.log"));
    EXPECT_NE(log.find("NPD: Got SerialNumber Data"), std::string::npos) << log;
    EXPECT_NE(log.find("UsbTabletClose - Exit"), std::string::npos) << log;
}

// A read that delivers fewer than four bytes is a packet of its own (the rest zero); the next
// packet still starts at its first byte.
TEST(UsbPipeTransport, AShortDeliveryDoesNotShiftTheFollowingPackets) {
    ScopedInkoraRoot root;
    UsbPipeDevices devices(root);
    const std::string pad = devices.Add("inkora-usbpipe0");
    WriteUsbSettings(root);
    Tablet tablet;
    ASSERT_TRUE(tablet.OpenTablet());
    devices.PlugIn(pad);
    devices.Send({0x08, 0x12});
    std::this_thread::sleep_for(100ms);  // the reader takes the short delivery on its own
    devices.Send({0x08, 0x62, 0x74, 0xC9});
    PointRecord record{};
    ASSERT_TRUE(tablet.GetNextPoint(record, 1000));
    EXPECT_EQ(PenStatus(record.penData), 0x08);
    ASSERT_TRUE(tablet.GetNextPoint(record, 1000));
    EXPECT_EQ(PenStatus(record.penData), 0x08);
    EXPECT_EQ(PenX(record.penData), 1075);
    EXPECT_EQ(PenY(record.penData), 700);
    EXPECT_FALSE(tablet.GetNextPoint(record, 30));
    EXPECT_TRUE(tablet.CloseTablet());
}

TEST(UsbPipeTransport, MultiUsbSelectsTheInterfaceThatTheComPortCountsFromOne) {
    ScopedInkoraRoot root;
    UsbPipeDevices devices(root);
    // Name order, not creation order, gives the member index.
    const std::string third = devices.Add("inkora-usbpipe2");
    const std::string first = devices.Add("inkora-usbpipe0");
    const std::string second = devices.Add("inkora-usbpipe1");
    {
        WriteUsbSettings(root, "UseMultiUsb=1\nTabletComPort=3\n");
        Tablet tablet;
        ASSERT_TRUE(tablet.OpenTablet());
        EXPECT_TRUE(UsbPipeDevices::IsOpenedByTheHost(third));
        EXPECT_FALSE(UsbPipeDevices::IsOpenedByTheHost(first));
        EXPECT_FALSE(UsbPipeDevices::IsOpenedByTheHost(second));
    }
    {
        WriteUsbSettings(root, "UseMultiUsb=0\nTabletComPort=3\n");
        Tablet tablet;
        ASSERT_TRUE(tablet.OpenTablet());
        EXPECT_TRUE(UsbPipeDevices::IsOpenedByTheHost(first));
        EXPECT_FALSE(UsbPipeDevices::IsOpenedByTheHost(third));
    }
    for (const char* port : {"4", "0"}) {  // past the last member, before the first
        WriteUsbSettings(root, std::string("UseMultiUsb=1\nTabletComPort=") + port + "\n");
        Tablet tablet;
        EXPECT_FALSE(tablet.OpenTablet());
        EXPECT_FALSE(tablet.CheckTabletConnected());
    }
}

TEST(UsbPipeTransport, WithoutInterfacesTheOpenFails) {
    ScopedInkoraRoot root;
    WriteUsbSettings(root);
    Tablet tablet;
    EXPECT_FALSE(tablet.OpenTablet());  // no dev directory at all
    UsbPipeDevices devices(root);
    devices.Add("other-node");
    devices.Add("tty-inkora-usbpipe0");
    std::filesystem::create_directory(root.path() + "/dev/inkora-usbpipe-dir");
    EXPECT_FALSE(tablet.OpenTablet());
    EXPECT_FALSE(tablet.isOpen);
}

TEST(UsbPipeTransport, AGonePadDoesNotKeepTheReaderBusyAndASilentOneDoesNotDelayClose) {
    ScopedInkoraRoot root;
    UsbPipeDevices devices(root);
    const std::string pad = devices.Add("inkora-usbpipe0");
    WriteUsbSettings(root);
    Tablet tablet;
    ASSERT_TRUE(tablet.OpenTablet());
    devices.PlugIn(pad);
    devices.Send({0x08, 0x62, 0x74, 0xC9});
    PointRecord record{};
    ASSERT_TRUE(tablet.GetNextPoint(record, 1000));

    devices.Unplug();  // every read now fails at once
    std::this_thread::sleep_for(20ms);
    const double cpuBefore = testsupport::ProcessCpuMs();
    std::this_thread::sleep_for(300ms);
    EXPECT_LT(testsupport::ProcessCpuMs() - cpuBefore, 60.0);

    devices.PlugIn(pad);
    devices.Send({0x08, 0x62, 0x74, 0xC9});
    ASSERT_TRUE(tablet.GetNextPoint(record, 1000));
    EXPECT_EQ(PenX(record.penData), 1075);

    // The pad stays attached and silent: close must end the pending read itself.
    std::this_thread::sleep_for(20ms);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(tablet.CloseTablet());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 100ms);
}

// Only a device that has gone ends the reader: any other read error (here EIO, from a node whose
// every read fails that way) is retried, as from a driver that fails reads for a while.
TEST(UsbPipeTransport, AReadErrorOtherThanAGoneDeviceKeepsTheReader) {
    ScopedInkoraRoot root;
    UsbPipeDevices devices(root);
    std::filesystem::create_symlink("/proc/self/mem", root.path() + "/dev/inkora-usbpipe0");
    WriteUsbSettings(root);
    Tablet tablet;
    ASSERT_TRUE(tablet.OpenTablet());
    std::this_thread::sleep_for(100ms);  // reads fail with EIO at offset 0
    EXPECT_TRUE(tablet.CloseTablet());
    const std::string log = root.ReadFile(root.TempPath("tessel.log"));
    EXPECT_EQ(log.find("UsbReadThread: device gone"), std::string::npos) << log;
    EXPECT_NE(log.find("UsbTabletClose - Exit"), std::string::npos) << log;
}

}  // namespace

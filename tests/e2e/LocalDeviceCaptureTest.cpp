#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>

#include "HostMessages.h"
#include "HostSession.h"
#include "PadStrokes.h"
#include "PseudoTerminal.h"

namespace {

using namespace testsupport;
using Bytes = std::vector<uint8_t>;

class LocalDeviceCapture : public ::testing::Test {
protected:
    TemporaryRoot root;
    std::unique_ptr<HostSession> host;
};

TEST_F(LocalDeviceCapture, PadOnAPseudoTerminal) {
    PseudoTerminal line;
    root.WriteSettings("[Tablet]\nTabletType=0\nTabletPortPath=/dev/pts/\nTabletComPort=" +
                       std::to_string(line.Number()) + "\nTabletBaudRate=38400\n");
    host = std::make_unique<HostSession>(root);
    host->SendOpen();
    // The numbers query: four request bytes, answered as a pad answers them. The first answer
    // after the open falls into the input loop's reset state, the later ones are decoded.
    const Bytes requests = line.Read(4, 5000);
    EXPECT_EQ(requests, Bytes(4, 0x00));
    for (int i = 0; i < 4; ++i) {
        line.Write(PadPacket(123456 >> 12 | 5 << 6, 123456 & 0xFFF, false, 2));
    }
    EXPECT_EQ(host->ReadFrame(5000ms), kDefaultOpenReply);

    // One stroke of 300 points in a single write of 1500 bytes, then the lift.
    Bytes burst;
    std::vector<std::string> expected;
    for (int i = 0; i < 300; ++i) {
        const int x = 600 + 5 * i;
        const int y = 400 + 3 * i;
        const Bytes packet = PadPacket(x, y, true);
        burst.insert(burst.end(), packet.begin(), packet.end());
        const auto [lx, ly] = DefaultLogicalPoint(x, y);
        expected.push_back(PointMessage(lx, ly, 1));
    }
    const Bytes lift = PadPacket(2095, 1297, false);
    burst.insert(burst.end(), lift.begin(), lift.end());
    const auto [lx, ly] = DefaultLogicalPoint(2095, 1297);
    expected.push_back(PointMessage(lx, ly, 0));
    line.Write(burst);
    EXPECT_EQ(host->ReadFrames(expected.size()), expected);
    host->CloseExpectingGoodbyeLast();
}

// Packets the pad sent before OPEN (a pen moved before the page asked) are discarded at the
// open; every packet after it arrives.
TEST_F(LocalDeviceCapture, PadBehindTheLegacyUsbPipe) {
    std::filesystem::create_directory(root.path() + "/dev");
    const std::string node = root.path() + "/dev/inkora-usbpipe0";
    ASSERT_EQ(mkfifo(node.c_str(), 0600), 0);
    const int pad = open(node.c_str(), O_RDWR);  // keeps the pipe alive across the host's opens
    ASSERT_GE(pad, 0);
    root.WriteSettings("[Tablet]\nTabletType=2\nEnableLogging=1\n");
    Bytes before;
    for (int i = 0; i < 60; ++i) {
        before.insert(before.end(), {0x08, 0x7D, 0x00, static_cast<uint8_t>(i)});
    }
    ASSERT_EQ(write(pad, before.data(), before.size()), static_cast<ssize_t>(before.size()));
    host = std::make_unique<HostSession>(root);
    host->SendOpen();
    EXPECT_EQ(host->ReadFrame(5000ms), kDefaultOpenReply);

    const Bytes packets = {
        0x00, 0x40, 0x03, 0x20,  // hovering: X 1024, Y 800, no touch: dropped
        0x08, 0x40, 0x03, 0x20,  // touching at the same place
        0x40, 0x01, 0x02, 0x03,  // a non-pen packet (kind 2): never a point
        0x8C, 0x12, 0x34, 0x56,  // touch and switch, bit 7 set: still a pen packet
        0x04, 0xFF, 0xF0, 0x00,  // switch only, X 4095: the lift, clamped
    };
    ASSERT_EQ(write(pad, packets.data(), packets.size()), static_cast<ssize_t>(packets.size()));
    const auto [x1, y1] = DefaultLogicalPoint(1024, 800);
    const auto [x2, y2] = DefaultLogicalPoint(0x123, 0x456);
    const auto [x3, y3] = DefaultLogicalPoint(0xFFF, 0);
    const std::vector<std::string> expected = {PointMessage(x1, y1, 1), PointMessage(x2, y2, 1),
                                               PointMessage(x3, y3, 0)};
    EXPECT_EQ(host->ReadFrames(3), expected);
    // The pad now stays silent: CLOSE must not wait for a packet that never comes.
    EXPECT_LT(host->CloseExpectingGoodbyeLast(), 1000ms);
    const std::string log = root.ReadFile(root.TempPath("tessel.log"));
    EXPECT_NE(log.find("NPD: Status Byte = 02, DataBytes = 01 02 03"), std::string::npos) << log;
    EXPECT_NE(log.find("UsbInitTablet: 60 packets sent before the open discarded"),
              std::string::npos)
        << log;
    close(pad);
}

TEST_F(LocalDeviceCapture, PadSimulatorOnASerialLine) {
    auto padsim = std::make_unique<ChildProcess>(
        std::vector<std::string>{PADSIM_BINARY, "serial", "--time-limit", "30", "--rate", "1000"});
    const std::string path = padsim->Read(64, 5000ms);
    const size_t prefix = path.find("/dev/pts/");
    ASSERT_NE(prefix, std::string::npos) << path;
    const int number = std::stoi(path.substr(prefix + 9));
    root.WriteSettings("[Tablet]\nTabletType=3\nTabletPortPath=/dev/pts/\nTabletComPort=" +
                       std::to_string(number) + "\n");
    host = std::make_unique<HostSession>(root);
    host->SendOpen();
    EXPECT_EQ(host->ReadFrame(5000ms), kDefaultOpenReply);
    const std::vector<std::string> points = host->ReadFrames(200);
    ASSERT_EQ(points.size(), 200u);
    EXPECT_EQ(points.front().rfind("{\"command\":\"POINT\",", 0), 0u);
    host->CloseExpectingGoodbyeLast();
}

}  // namespace

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "HostSession.h"
#include "PseudoTerminal.h"
#include "platform/SerialPort.h"
#include "tablet/Tablet.h"

namespace {

using namespace std::chrono_literals;
using testsupport::PseudoTerminal;
using testsupport::ScopedInkoraRoot;

// A serial pad on the pseudo-terminal: TabletType 0, the port named "/dev/pts/" + its number.
void WriteSerialSettings(const ScopedInkoraRoot& root, int ptsNumber) {
    root.WriteSettings("[Tablet]\nTabletType=0\nTabletPortPath=/dev/pts/\nTabletComPort=" +
                       std::to_string(ptsNumber) + "\n");
}

// A pen packet with the touch bit at pad coordinates (x, y).
std::vector<uint8_t> PenPacket(int x, int y) {
    return {0x81, static_cast<uint8_t>(x & 0x7F), static_cast<uint8_t>(x >> 7),
            static_cast<uint8_t>(y & 0x7F), static_cast<uint8_t>(y >> 7)};
}

bool PortIsFree(const PseudoTerminal& line) {
    platform::SerialPort probe;
    probe.SetPortPath("/dev/pts/");
    probe.SetComPort(line.Number());
    return probe.OpenPort([](const uint8_t*, int32_t) {}) == 1;
}

TEST(SerialTransport, CarriesPointsAndNumberRequestsBetweenTabletAndPad) {
    ScopedInkoraRoot root;
    PseudoTerminal line;
    WriteSerialSettings(root, line.Number());
    Tablet tablet;
    tablet.settings.CheckConnectedOnOpen = true;  // a line without modem signals shows DSR on
    ASSERT_TRUE(tablet.OpenTablet());
    EXPECT_FALSE(PortIsFree(line));

    // The first byte after the input loop starts is taken alone.
    line.Write({0x00});
    line.Write({0x81, 0x27, 0x0C, 0x49, 0x09});
    PointRecord record{};
    ASSERT_TRUE(tablet.GetNextPoint(record, 1000));
    EXPECT_EQ(record.penData, 0xBC324308u);

    // The pad answers the request byte with its serial and model numbers.
    std::thread pad([&] {
        if (line.Read(1, 1000) == std::vector<uint8_t>{0x00}) {
            line.Write({0x88, 0x5E, 0x02, 0x40, 0x04});
        }
    });
    EXPECT_EQ(tablet.GetSerialNumber(), 123456);
    pad.join();
    EXPECT_EQ(tablet.modelNumber, 5);

    EXPECT_TRUE(tablet.CloseTablet());
    EXPECT_TRUE(PortIsFree(line));
    EXPECT_TRUE(tablet.OpenTablet());
}

TEST(SerialTransport, ABurstOfPacketsArrivesWholeAndInOrder) {
    ScopedInkoraRoot root;
    PseudoTerminal line;
    WriteSerialSettings(root, line.Number());
    Tablet tablet;
    ASSERT_TRUE(tablet.OpenTablet());
    line.Write({0x00});
    std::this_thread::sleep_for(30ms);

    constexpr int kPackets = 260;  // 1300 bytes in one write
    std::vector<uint8_t> burst;
    for (int i = 0; i < kPackets; ++i) {
        const auto packet = PenPacket(500 + 8 * i, 350 + 5 * i);
        burst.insert(burst.end(), packet.begin(), packet.end());
    }
    line.Write(burst);
    for (int i = 0; i < kPackets; ++i) {
        PointRecord record{};
        ASSERT_TRUE(tablet.GetNextPoint(record, 1000)) << "point " << i;
        ASSERT_EQ(PenX(record.penData), 8 * i) << "point " << i;
        ASSERT_EQ(PenY(record.penData), 5 * i * 1400 / 1750) << "point " << i;
    }
    PointRecord extra{};
    EXPECT_FALSE(tablet.GetNextPoint(extra, 30));
}

TEST(SerialTransport, AnAbsentPortFailsTheOpenAndStopsTheInputLoop) {
    ScopedInkoraRoot root;
    root.WriteSettings("[Tablet]\nTabletType=3\nTabletPortPath=/dev/no-such-tty\n");
    Tablet tablet;
    EXPECT_FALSE(tablet.OpenTablet());
    EXPECT_FALSE(tablet.isOpen);
    EXPECT_FALSE(tablet.inputRunning);
    EXPECT_FALSE(tablet.CheckTabletConnected());
}

TEST(SerialTransport, PresenceCheckOnAClosedTabletReleasesThePort) {
    ScopedInkoraRoot root;
    PseudoTerminal line;
    WriteSerialSettings(root, line.Number());
    Tablet tablet;
    EXPECT_TRUE(tablet.CheckTabletConnected());
    EXPECT_FALSE(tablet.isOpen);
    EXPECT_TRUE(PortIsFree(line));
}

TEST(SerialTransport, AnEmptyPortPathKeepsThePreviousPrefix) {
    ScopedInkoraRoot root;
    PseudoTerminal line;
    WriteSerialSettings(root, line.Number());
    Tablet tablet;
    tablet.serialTransport->SetPortPath("");
    ASSERT_TRUE(tablet.OpenTablet());
    const uint8_t request = 0x00;
    EXPECT_TRUE(tablet.WriteTablet(&request, 0));
    EXPECT_TRUE(tablet.WriteTablet(&request, 1));
    EXPECT_EQ(line.Read(2, 200), std::vector<uint8_t>{0x00});
}

}  // namespace

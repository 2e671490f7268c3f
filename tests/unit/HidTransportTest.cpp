#include "transports/HidIoIFWin.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "LogLines.h"
#include "SimulatedHidBus.h"
#include "TemporaryRoot.h"
#include "tablet/Tablet.h"

namespace {

using namespace std::chrono_literals;
using testsupport::ScopedHidDevices;
using testsupport::ScopedInkoraRoot;
using testsupport::SimulatedHidBus;
using testsupport::SimulatedHidPad;

constexpr uint16_t kVendor = 0x1D5B;
constexpr int32_t kReportLength = 65;
// A pen-down packet and its decoded penData with the default settings.
const std::vector<uint8_t> kPenPacket = {0x81, 0x27, 0x0C, 0x49, 0x09};
constexpr uint32_t kPenData = 0xBC324308;

// An input report: id 0, the count byte, the payload, zeros to the report length.
std::vector<uint8_t> InputReport(uint8_t countByte, std::vector<uint8_t> payload) {
    payload.insert(payload.begin(), {0x00, countByte});
    payload.resize(std::max<size_t>(payload.size(), kReportLength), 0);
    return payload;
}

std::vector<uint8_t> Repeated(const std::vector<uint8_t>& bytes, int times) {
    std::vector<uint8_t> all;
    for (int i = 0; i < times; ++i) {
        all.insert(all.end(), bytes.begin(), bytes.end());
    }
    return all;
}

class HidTransport : public ::testing::Test {
protected:
    void MakeTablet(const std::string& extraSettings = "") {
        root.WriteSettings("[Tablet]\nTabletType=6\nEnableLogging=1\n" + extraSettings);
        tablet = std::make_unique<Tablet>();
    }

    HidIoIFWin& Hid() { return static_cast<HidIoIFWin&>(*tablet->hidTransport); }

    // After an open the input loop takes its first byte as a lone byte.
    void OpenAndLeaveResetState(SimulatedHidPad& pad) {
        ASSERT_TRUE(tablet->OpenTablet());
        ASSERT_TRUE(pad.SendInputReport(InputReport(0x01, {0x00})));
    }

    // Points from GetNextPoint until `count` have come or a second passes without one.
    std::vector<uint32_t> TakePoints(size_t count) {
        std::vector<uint32_t> points;
        PointRecord record;
        for (int idle = 0; points.size() < count && idle < 100;) {
            if (tablet->GetNextPoint(record, 10)) {
                points.push_back(record.penData);
            } else {
                ++idle;
            }
        }
        return points;
    }

    bool NoFurtherPoint() {
        PointRecord record;
        return !tablet->GetNextPoint(record, 100);
    }

    std::string Log() const { return root.ReadFile(root.TempPath("tessel.log")); }

    // What the reader logged of each read: the read call's and the wait's results, and what
    // came of the read (a report's count and its bytes).
    std::vector<std::string> ReadLines() const {
        std::vector<std::string> lines;
        for (const std::string& message : testsupport::LogMessages(Log())) {
            const bool fromReader = message.rfind("HidReadThread: ", 0) == 0 &&
                                    message != "HidReadThread: Before read" &&
                                    message.rfind("HidReadThread: BytesToRead", 0) != 0;
            if (fromReader || message.rfind("Count = ", 0) == 0 ||
                message.rfind("Num = ", 0) == 0) {
                lines.push_back(message);
            }
        }
        return lines;
    }

    bool ReaderStops() {
        for (int i = 0; i < 100 && Hid().ReaderRunning(); ++i) {
            std::this_thread::sleep_for(10ms);
        }
        return !Hid().ReaderRunning();
    }

    static int Occurrences(const std::string& text, const std::string& what) {
        int count = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
            ++count;
        }
        return count;
    }

    ScopedInkoraRoot root;
    SimulatedHidBus bus;
    ScopedHidDevices useBus{bus};
    std::unique_ptr<Tablet> tablet;
};

TEST_F(HidTransport, TakesOnlyTheVendorsPadsFromProduct43On) {
    SimulatedHidPad& older = bus.Plug(kVendor, 0x0042);
    SimulatedHidPad& stranger = bus.Plug(0x1D5C, 0x0043);
    MakeTablet();
    EXPECT_FALSE(tablet->OpenTablet());
    EXPECT_FALSE(Hid().HoldsDevice());
    EXPECT_TRUE(Hid().DevicePath().empty());
    EXPECT_EQ(older.OpenHandles() + stranger.OpenHandles(), 0);
    EXPECT_NE(Log().find("Opening Hid Tablet"), std::string::npos);

    SimulatedHidPad& pad = bus.Plug(kVendor, 0x0043);
    ASSERT_TRUE(tablet->OpenTablet());
    EXPECT_EQ(Hid().DevicePath(), pad.Description().path);
    EXPECT_EQ(Hid().ReportLength(), kReportLength);
    EXPECT_EQ(pad.OpenHandles(), 2);  // the writer and the reader
    EXPECT_TRUE(tablet->CloseTablet());
    EXPECT_EQ(pad.OpenHandles(), 0);
}

TEST_F(HidTransport, MultiPadIndexCountsOnlyMatchingPads) {
    SimulatedHidPad& first = bus.Plug(kVendor, 0x0043);
    bus.Plug(kVendor, 0x0042);
    SimulatedHidPad& second = bus.Plug(kVendor, 0x0044);
    MakeTablet("UseMultiUsb=1\nTabletComPort=2\n");
    ASSERT_TRUE(tablet->OpenTablet());
    EXPECT_EQ(Hid().DevicePath(), second.Description().path);
    EXPECT_EQ(first.OpenHandles(), 0);
    tablet->CloseTablet();
    const std::string log = Log();
    EXPECT_EQ(Occurrences(log, "Found Hid Tablet"), 2) << log;
    EXPECT_EQ(Occurrences(log, "Found our Hid tablet multi"), 1) << log;

    tablet->settings.TabletComPort = 3;
    EXPECT_FALSE(tablet->OpenTablet());
    EXPECT_EQ(first.OpenHandles() + second.OpenHandles(), 0);

    tablet->settings.UseMultiUsb = false;  // the index then plays no part
    ASSERT_TRUE(tablet->OpenTablet());
    EXPECT_EQ(Hid().DevicePath(), first.Description().path);
}

// A pad that opens counts among the matching pads even when its reports do not fit the
// buffers; it is refused only when it is the one chosen, and the search then fails.
TEST_F(HidTransport, RefusedPadKeepsItsPlaceAmongTheMatchingPads) {
    SimulatedHidPad& busy = bus.Plug(kVendor, 0x0043);
    busy.RefuseOpens(true);  // not a match: it does not open
    SimulatedHidPad& first = bus.Plug(kVendor, 0x0043);
    SimulatedHidPad& tooLong = bus.Plug(kVendor, 0x0043, 257);  // longer than the write buffer
    SimulatedHidPad& usable = bus.Plug(kVendor, 0x0043, 256);
    MakeTablet("UseMultiUsb=1\nTabletComPort=3\n");
    ASSERT_TRUE(tablet->OpenTablet());
    EXPECT_EQ(Hid().DevicePath(), usable.Description().path);
    EXPECT_EQ(Hid().ReportLength(), 256);
    tablet->CloseTablet();
    EXPECT_EQ(Log().find("Hid Tablet refused"), std::string::npos);

    tablet->settings.TabletComPort = 2;
    EXPECT_FALSE(tablet->OpenTablet());
    EXPECT_FALSE(Hid().HoldsDevice());
    EXPECT_EQ(first.OpenHandles() + tooLong.OpenHandles() + usable.OpenHandles(), 0);
    EXPECT_EQ(Occurrences(Log(), "Hid Tablet refused: report size 257"), 1);

    // Without UseMultiUsb the first matching pad is the chosen one.
    first.Unplug();
    tablet->settings.UseMultiUsb = false;
    EXPECT_FALSE(tablet->OpenTablet());
    EXPECT_EQ(Occurrences(Log(), "Hid Tablet refused: report size 257"), 2);
}

TEST_F(HidTransport, CountByteIsMaskedAndBoundedByWhatArrived) {
    SimulatedHidPad& pad = bus.Plug(kVendor, 0x0043);
    MakeTablet();
    OpenAndLeaveResetState(pad);
    // 0xC5 & 0x3F = 5: the second packet behind the first is not payload.
    std::vector<uint8_t> payload = kPenPacket;
    payload.insert(payload.end(), {0x81, 0x10, 0x10, 0x10, 0x10});
    ASSERT_TRUE(pad.SendInputReport(InputReport(0xC5, payload)));
    EXPECT_EQ(TakePoints(1), std::vector<uint32_t>{kPenData});
    EXPECT_TRUE(NoFurtherPoint());
    // 0xD4 & 0x3F = 20: four whole packets (a 0x0F mask would pass 4 bytes).
    ASSERT_TRUE(pad.SendInputReport(InputReport(0xD4, Repeated(kPenPacket, 4))));
    EXPECT_EQ(TakePoints(4), std::vector<uint32_t>(4, kPenData));
    EXPECT_TRUE(NoFurtherPoint());
    // A short report claims 63 bytes but brings 2; the packet goes on in the next report.
    ASSERT_TRUE(pad.SendInputReport({0x00, 0x3F, 0x81, 0x27}));
    ASSERT_TRUE(pad.SendInputReport(InputReport(0x03, {0x0C, 0x49, 0x09})));
    EXPECT_EQ(TakePoints(1), std::vector<uint32_t>{kPenData});
    EXPECT_TRUE(NoFurtherPoint());
    EXPECT_NE(Log().find("Count = 5, InputBuffer[0,1,2] = 0x0, 0xc5, 0x81 "), std::string::npos);
}

TEST_F(HidTransport, StrokesReachGetNextPointAcrossReportBoundaries) {
    SimulatedHidPad& pad = bus.Plug(kVendor, 0x0043);
    MakeTablet();
    OpenAndLeaveResetState(pad);
    const std::vector<uint8_t> stroke = Repeated(kPenPacket, 30);
    for (size_t at = 0; at < stroke.size(); at += 7) {  // packets cut at every place
        const std::vector<uint8_t> piece(stroke.begin() + at,
                                         stroke.begin() + std::min(at + 7, stroke.size()));
        ASSERT_TRUE(pad.SendInputReport(InputReport(static_cast<uint8_t>(piece.size()), piece)));
    }
    EXPECT_EQ(TakePoints(30), std::vector<uint32_t>(30, kPenData));
    EXPECT_TRUE(NoFurtherPoint());
}

TEST_F(HidTransport, WritesAreCutIntoOutputReports) {
    SimulatedHidPad& pad = bus.Plug(kVendor, 0x0043);
    MakeTablet();
    ASSERT_TRUE(tablet->OpenTablet());
    std::vector<uint8_t> data(100);
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<uint8_t>(i + 1);
    }
    tablet->WriteTablet(data.data(), 100);
    std::vector<uint8_t> first, second, extra;
    ASSERT_TRUE(pad.ReceiveOutputReport(first));
    ASSERT_TRUE(pad.ReceiveOutputReport(second));
    ASSERT_EQ(first.size(), 65u);
    ASSERT_EQ(second.size(), 65u);
    EXPECT_EQ(first[0], 0x00);
    EXPECT_EQ(first[1], 63);
    EXPECT_EQ(std::vector<uint8_t>(first.begin() + 2, first.end()),
              std::vector<uint8_t>(data.begin(), data.begin() + 63));
    EXPECT_EQ(second[1], 37);
    EXPECT_EQ(std::vector<uint8_t>(second.begin() + 2, second.begin() + 39),
              std::vector<uint8_t>(data.begin() + 63, data.end()));
    EXPECT_EQ(std::vector<uint8_t>(second.begin() + 39, second.end()), std::vector<uint8_t>(26));

    tablet->WriteTablet(data.data(), 0);
    tablet->WriteTablet(data.data(), 63);
    ASSERT_TRUE(pad.ReceiveOutputReport(first));
    EXPECT_EQ(first[1], 63);
    EXPECT_FALSE(pad.ReceiveOutputReport(extra, 100ms));

    tablet->GetSerialNumber();  // the one request byte 0x00
    ASSERT_TRUE(pad.ReceiveOutputReport(first));
    std::vector<uint8_t> request(65);
    request[1] = 0x01;
    EXPECT_EQ(first, request);
}

// Windows' class driver refuses a write that is not one output report long: the reports are
// as long as the pad's output reports, whatever its input reports; a pad whose output reports
// cannot carry a byte (or that has none) gets nothing, and the log says so.
TEST_F(HidTransport, WritesAreOutputReportsOfTheOutputReportLength) {
    struct Case {
        int32_t inputLength;
        int32_t outputLength;
        std::vector<int> counts;  // of the reports one 10-byte write sends
    };
    const Case cases[] = {
        {65, 9, {7, 3}}, {65, 129, {10}}, {2, 65, {10}}, {65, 2, {}}, {65, 0, {}}};
    const std::vector<uint8_t> data = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.inputLength) + "/" + std::to_string(c.outputLength));
        SimulatedHidPad& pad = bus.Plug(kVendor, 0x0043, c.inputLength, c.outputLength);
        MakeTablet();
        ASSERT_TRUE(tablet->OpenTablet());
        EXPECT_EQ(tablet->CanWriteToPad(), !c.counts.empty());
        tablet->WriteTablet(data.data(), 10);
        size_t sent = 0;
        for (const int count : c.counts) {
            std::vector<uint8_t> report;
            ASSERT_TRUE(pad.ReceiveOutputReport(report));
            std::vector<uint8_t> expected(static_cast<size_t>(c.outputLength));
            expected[1] = static_cast<uint8_t>(count);
            std::copy_n(data.begin() + static_cast<ptrdiff_t>(sent), count, expected.begin() + 2);
            EXPECT_EQ(report, expected);
            sent += static_cast<size_t>(count);
        }
        std::vector<uint8_t> extra;
        EXPECT_FALSE(pad.ReceiveOutputReport(extra, 100ms));
        EXPECT_EQ(Log().find("TabletWrite: output report size " + std::to_string(c.outputLength) +
                             " cannot carry data") != std::string::npos,
                  c.counts.empty());
        tablet->CloseTablet();
        tablet.reset();
        pad.Unplug();
    }
}

TEST_F(HidTransport, ModeReportIsNineBytes) {
    SimulatedHidPad& pad = bus.Plug(kVendor, 0x0043);
    MakeTablet();
    ASSERT_TRUE(tablet->OpenTablet());
    std::vector<uint8_t> report;
    EXPECT_EQ(Hid().SendModeReport(true), 1);
    ASSERT_TRUE(pad.ReceiveOutputReport(report));
    EXPECT_EQ(report, (std::vector<uint8_t>{0x00, 0x20, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Hid().SendModeReport(false), 1);
    ASSERT_TRUE(pad.ReceiveOutputReport(report));
    EXPECT_EQ(report[1], 0x10);
    tablet->CloseTablet();
    EXPECT_EQ(Hid().SendModeReport(true), 0);
}

TEST_F(HidTransport, CloseEndsAnIdleReaderAtOnce) {
    SimulatedHidPad& pad = bus.Plug(kVendor, 0x0043);
    MakeTablet();
    ASSERT_TRUE(tablet->OpenTablet());
    EXPECT_TRUE(Hid().ReaderRunning());
    std::this_thread::sleep_for(50ms);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(tablet->CloseTablet());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 300ms);
    EXPECT_FALSE(Hid().ReaderRunning());
    EXPECT_FALSE(Hid().HoldsDevice());
    EXPECT_EQ(pad.OpenHandles(), 0);
    const std::string log = Log();
    EXPECT_NE(log.find("HidReadThread: Got kill"), std::string::npos) << log;
    EXPECT_NE(log.find("HID Read thread Exiting"), std::string::npos) << log;
}

TEST_F(HidTransport, ReopeningWithoutCloseStopsTheEarlierReader) {
    SimulatedHidPad& pad = bus.Plug(kVendor, 0x0043);
    MakeTablet();
    ASSERT_TRUE(Hid().InitTablet());
    ASSERT_TRUE(Hid().InitTablet());
    EXPECT_EQ(pad.OpenHandles(), 2);
    EXPECT_TRUE(Hid().TabletClose());
    EXPECT_EQ(pad.OpenHandles(), 0);
}

TEST_F(HidTransport, HangUpEndsTheReadsAndCloseStillWorks) {
    SimulatedHidPad& pad = bus.Plug(kVendor, 0x0043);
    MakeTablet();
    OpenAndLeaveResetState(pad);
    ASSERT_TRUE(pad.SendInputReport(InputReport(0x05, kPenPacket)));
    pad.Unplug();
    // Reports that came before the hang-up are still delivered.
    EXPECT_EQ(TakePoints(1), std::vector<uint32_t>{kPenData});
    EXPECT_TRUE(ReaderStops());
    const uint8_t byte = 0;
    tablet->WriteTablet(&byte, 1);  // to a pad that is gone: nothing happens
    EXPECT_TRUE(tablet->CloseTablet());
    EXPECT_EQ(pad.OpenHandles(), 0);
}

// A report already queued completes the read call itself, which then reports its length; a
// read left pending reports none, and the wait tells the read event (0) from the kill (1).
TEST_F(HidTransport, ReaderLogsHowEachReadStartedAndEnded) {
    SimulatedHidPad& pad = bus.Plug(kVendor, 0x0043);
    MakeTablet();
    ASSERT_TRUE(pad.SendInputReport(InputReport(0x01, {0x00})));  // before the reader starts
    ASSERT_TRUE(tablet->OpenTablet());
    ASSERT_TRUE(pad.AwaitWaitingReader());
    ASSERT_TRUE(pad.SendInputReport(InputReport(0x05, kPenPacket)));
    EXPECT_EQ(TakePoints(1), std::vector<uint32_t>{kPenData});
    ASSERT_TRUE(pad.AwaitWaitingReader());
    tablet->CloseTablet();
    EXPECT_EQ(ReadLines(), (std::vector<std::string>{
                               "HidReadThread: ReadFile returns 1",
                               "HidReadThread: wait returns 0, bytesread = 65",
                               "Count = 1, InputBuffer[0,1,2] = 0x0, 0x1, 0x0 ",
                               "Num = 1 00 01 00 ",
                               "HidReadThread: ReadFile returns 0",
                               "HidReadThread: wait returns 0, bytesread = 0",
                               "Count = 5, InputBuffer[0,1,2] = 0x0, 0x5, 0x81 ",
                               "Num = 5 00 05 81 27 0c 49 09 ",
                               "HidReadThread: ReadFile returns 0",
                               "HidReadThread: wait returns 1, bytesread = 0",
                               "HidReadThread: Got kill",
                               "HidReadThread: Canceling IO",
                           }));
}

// A pending read that fails or meets a hang-up ends on the read event like a report, so the
// line after the wait is what tells them apart; a read call that fails itself has no wait.
TEST_F(HidTransport, ReaderLogsFailedReadsAndHangUpsApartFromReports) {
    SimulatedHidPad& pad = bus.Plug(kVendor, 0x0043);
    MakeTablet();
    ASSERT_TRUE(pad.FailARead());
    ASSERT_TRUE(tablet->OpenTablet());
    EXPECT_TRUE(ReaderStops());
    tablet->CloseTablet();

    ASSERT_TRUE(tablet->OpenTablet());
    ASSERT_TRUE(pad.AwaitWaitingReader());
    ASSERT_TRUE(pad.FailARead());
    EXPECT_TRUE(ReaderStops());
    tablet->CloseTablet();

    ASSERT_TRUE(tablet->OpenTablet());
    ASSERT_TRUE(pad.AwaitWaitingReader());
    pad.Unplug();
    EXPECT_TRUE(ReaderStops());
    tablet->CloseTablet();
    EXPECT_EQ(ReadLines(), (std::vector<std::string>{
                               "HidReadThread: ReadFile returns 0",
                               "HidReadThread: read failed, no more reads",
                               "HidReadThread: ReadFile returns 0",
                               "HidReadThread: wait returns 0, bytesread = 0",
                               "HidReadThread: read failed, no more reads",
                               "HidReadThread: ReadFile returns 0",
                               "HidReadThread: wait returns 0, bytesread = 0",
                               "HidReadThread: device gone, no more reads",
                           }));
}

TEST_F(HidTransport, PresenceCheckLeavesTheOpenPadAlone) {
    SimulatedHidPad& pad = bus.Plug(kVendor, 0x0043);
    MakeTablet();
    EXPECT_TRUE(tablet->CheckTabletConnected());  // opens, checks and closes again
    EXPECT_FALSE(tablet->isOpen);
    EXPECT_EQ(pad.OpenHandles(), 0);

    OpenAndLeaveResetState(pad);
    EXPECT_TRUE(tablet->CheckTabletConnected());
    EXPECT_TRUE(tablet->isOpen);
    EXPECT_EQ(Hid().DevicePath(), pad.Description().path);
    EXPECT_TRUE(Hid().ReaderRunning());
    EXPECT_EQ(pad.OpenHandles(), 2);
    ASSERT_TRUE(pad.SendInputReport(InputReport(0x05, kPenPacket)));
    EXPECT_EQ(TakePoints(1), std::vector<uint32_t>{kPenData});

    // Another pad with other reports found by the check does not change how the open one
    // is written to.
    pad.Unplug();
    bus.Plug(kVendor, 0x0043, 33);
    EXPECT_TRUE(Hid().CheckConnected());
    EXPECT_EQ(Hid().ReportLength(), kReportLength);
    EXPECT_EQ(Hid().DevicePath(), pad.Description().path);
}

TEST(HidMaskByte, SelectsTheCountBitsByReportSize) {
    EXPECT_EQ(HidIoIFWin::MaskByte(32), 0x1F);
    EXPECT_EQ(HidIoIFWin::MaskByte(64), 0x3F);
    EXPECT_EQ(HidIoIFWin::MaskByte(128), 0x7F);
    for (int32_t size : {0, 8, 16, 63, 65, 100, 256}) {
        EXPECT_EQ(HidIoIFWin::MaskByte(size), 0x0F) << size;
    }
}

}  // namespace

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "ProcessCpu.h"
#include "PseudoTerminal.h"
#include "TemporaryRoot.h"
#include "padsim/PacketEncoder.h"
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

// Free for anyone: not marked exclusive (root would open a marked line, an ordinary user could
// not) and not held.
bool PortIsFree(const PseudoTerminal& line) {
    if (line.SlaveIsExclusive()) {
        return false;
    }
    platform::SerialPort probe;
    probe.SetPortPath("/dev/pts/");
    probe.SetComPort(line.Number());
    return probe.OpenPort([](const uint8_t*, int32_t) {}) == 1;
}

// The pad's DSR line held off, in place of the modem lines a pseudo-terminal lacks.
class ScopedDsrOff final : public platform::ModemStatus {
public:
    ScopedDsrOff() : previous(platform::SetModemStatusForTesting(this)) {}
    ~ScopedDsrOff() override { platform::SetModemStatusForTesting(previous); }
    int32_t IsDsrOn() override { return 0; }

private:
    platform::ModemStatus* previous;
};

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
    // The presence check opens the closed Tablet, reads DSR and releases the port again.
    EXPECT_TRUE(tablet.CheckTabletConnected());
    EXPECT_FALSE(tablet.isOpen);
    EXPECT_TRUE(PortIsFree(line));
}

// A pad whose DSR line is off is absent (the host answers OPEN with zeros), whether the open
// itself checks the line or only the presence check does; either way its port is free again.
TEST(SerialTransport, PadWithDsrOffIsAbsentAndItsPortIsFreeAgain) {
    ScopedInkoraRoot root;
    PseudoTerminal line;
    WriteSerialSettings(root, line.Number());
    ScopedDsrOff dsrOff;
    for (const bool checkedOpen : {false, true}) {
        Tablet tablet;
        tablet.settings.CheckConnectedOnOpen = checkedOpen;
        EXPECT_FALSE(tablet.CheckTabletConnected()) << checkedOpen;
        EXPECT_FALSE(tablet.isOpen);
        EXPECT_FALSE(tablet.inputRunning);
        EXPECT_TRUE(PortIsFree(line)) << checkedOpen;
    }
}

// The host's numbers query after an open (the serial number twice, then the model number) against
// pads that answer some of the request bytes: the queries end on the answer and send nothing
// after it; without one they send all four. An answer that came before the first request (late,
// to an earlier opening's) does not count, though the decoder stores it as always.
TEST(SerialTransport, NumberQueriesEndOnThePadsAnswerAndAskNoMore) {
    struct Case {
        const char* pad;
        bool lateAnswerFirst;
        int answeredRequest;  // the request byte the pad answers: 0 every one, -1 none
        size_t requests;
        int32_t serialNumber;
        int32_t modelNumber;
    };
    const Case cases[] = {
        {"answering at once", false, 0, 1, 123456, 5},
        {"answering the second request only", false, 2, 2, 123456, 5},
        {"silent", false, -1, 4, 0, 0},
        {"silent after a late answer", true, -1, 4, 4242, 3},
    };
    const padsim::StreamPacket answer = padsim::EncodeNumbersAnswer(123456, 5);
    const padsim::StreamPacket lateAnswer = padsim::EncodeNumbersAnswer(4242, 3);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pad);
        ScopedInkoraRoot root;
        PseudoTerminal line;
        WriteSerialSettings(root, line.Number());
        Tablet tablet;
        ASSERT_TRUE(tablet.OpenTablet());
        if (c.lateAnswerFirst) {
            line.Write({lateAnswer.begin(), lateAnswer.end()});
            ASSERT_TRUE(tablet.numbersArrival.WaitBeyond(0, 5s));
        }
        std::atomic<bool> queriesDone{false};
        size_t requests = 0;
        std::thread pad([&] {
            while (!queriesDone) {
                if (line.Read(1, 20) != std::vector<uint8_t>{0x00}) {
                    continue;
                }
                ++requests;
                if (c.answeredRequest == 0 || c.answeredRequest == static_cast<int>(requests)) {
                    line.Write({answer.begin(), answer.end()});
                }
            }
        });
        tablet.GetSerialNumber();
        tablet.GetSerialNumber();
        const int32_t model = tablet.GetModelNumber();
        queriesDone = true;
        pad.join();
        requests += line.Read(8, 100).size();
        EXPECT_EQ(requests, c.requests);
        EXPECT_EQ(tablet.serialNumber, c.serialNumber);
        EXPECT_EQ(model, c.modelNumber);
        EXPECT_TRUE(tablet.CloseTablet());
    }
}

// After the presence check has opened and closed the port, the capture's input loop must block
// on the empty ring while the pad stays silent, not wake a thousand times a second.
TEST(SerialTransport, SilentPadCostsNoWakeUpsAfterThePresenceCheck) {
    ScopedInkoraRoot root;
    PseudoTerminal line;
    WriteSerialSettings(root, line.Number());
    const std::set<std::string> earlierThreads = testsupport::ThreadsOfProcess();
    Tablet tablet;
    ASSERT_TRUE(tablet.CheckTabletConnected());
    ASSERT_TRUE(tablet.OpenTablet());
    const long switches = testsupport::MostContextSwitchesOfOneThread(
        earlierThreads, [] { std::this_thread::sleep_for(2s); });
    EXPECT_LT(switches, 250);
    EXPECT_TRUE(tablet.CloseTablet());
}

// Enters a directory for as long as it lives.
class ScopedWorkingDirectory {
public:
    explicit ScopedWorkingDirectory(const std::string& path)
        : previous(std::filesystem::current_path()) {
        std::filesystem::current_path(path);
    }
    ~ScopedWorkingDirectory() { std::filesystem::current_path(previous); }

private:
    std::filesystem::path previous;
};

// A settings file without TabletPortPath, or with it empty, leaves the port its "COM" name.
// Port 4000 is then COM4000, /dev/ttyS3999 here, which no machine has; a port that had lost the
// name would open "4000" in the working directory, made the pad's line so that such an open shows.
TEST(SerialTransport, SettingsWithoutANamePrefixKeepTheComName) {
    ScopedInkoraRoot root;
    PseudoTerminal line;
    ScopedWorkingDirectory inRoot(root.path());
    ASSERT_FALSE(std::filesystem::exists("/dev/ttyS3999"));
    std::filesystem::create_symlink("/dev/pts/" + std::to_string(line.Number()), "4000");
    for (const std::string prefixLine : {"", "TabletPortPath=\n"}) {
        SCOPED_TRACE(prefixLine);
        root.WriteSettings("[Tablet]\nTabletType=0\nTabletComPort=4000\n" + prefixLine);
        Tablet tablet;
        EXPECT_FALSE(tablet.CheckTabletConnected());
        EXPECT_FALSE(tablet.OpenTablet());
        EXPECT_TRUE(PortIsFree(line));
    }

    // An empty prefix handed over later leaves the one from the file in place.
    WriteSerialSettings(root, line.Number());
    Tablet tablet;
    TabletSettings settings;
    tablet.GetTabletSettings(settings);
    settings.TabletPortPath[0] = '\0';
    tablet.SetTabletSettings(settings);
    EXPECT_TRUE(tablet.OpenTablet());
    EXPECT_TRUE(tablet.CloseTablet());
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

}  // namespace

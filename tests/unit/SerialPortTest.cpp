#include "ProcessCpu.h"
#include "platform/SerialPort.h"

#include <asm/termbits.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <time.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "PseudoTerminal.h"

namespace {

using namespace std::chrono_literals;
using testsupport::PseudoTerminal;

// What the watch thread handed over, block by block.
class ReceivedBlocks {
public:
    platform::ReceivedBytesHandler Handler() {
        return [this](const uint8_t* bytes, int32_t length) {
            std::lock_guard<std::mutex> lock(mutex);
            blocks.emplace_back(bytes, bytes + length);
        };
    }
    std::vector<std::vector<uint8_t>> Blocks() {
        std::lock_guard<std::mutex> lock(mutex);
        return blocks;
    }
    std::vector<uint8_t> AllBytes() {
        std::vector<uint8_t> all;
        for (const auto& block : Blocks()) {
            all.insert(all.end(), block.begin(), block.end());
        }
        return all;
    }
    bool WaitForBytes(size_t count) {
        for (int i = 0; i < 200 && AllBytes().size() < count; ++i) {
            std::this_thread::sleep_for(5ms);
        }
        return AllBytes().size() >= count;
    }

private:
    std::mutex mutex;
    std::vector<std::vector<uint8_t>> blocks;
};

void PointAt(platform::SerialPort& port, const PseudoTerminal& line, int32_t baudRate = 19200) {
    port.SetPortPath("/dev/pts/");
    port.SetComPort(line.Number());
    port.SetBaudRate(baudRate);
}

// The slave side's line settings, as the master side sees them.
termios2 LineSettings(const PseudoTerminal& line) {
    termios2 settings{};
    EXPECT_EQ(ioctl(line.MasterFd(), TCGETS2, &settings), 0);
    return settings;
}

TEST(SerialPort, OpensRawEightBitsOddParityAtTheConfiguredRate) {
    PseudoTerminal line;
    platform::SerialPort port;
    ReceivedBlocks received;
    PointAt(port, line);
    ASSERT_EQ(port.OpenPort(received.Handler()), 1);
    termios2 settings = LineSettings(line);
    EXPECT_EQ(settings.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    // A pseudo-terminal clears PARENB whatever it is given; the odd-parity choice shows.
    EXPECT_NE(settings.c_cflag & PARODD, 0u);
    EXPECT_NE(settings.c_iflag & INPCK, 0u);
    EXPECT_EQ(settings.c_cflag & (CSTOPB | CRTSCTS | CMSPAR), 0u);
    EXPECT_NE(settings.c_cflag & CREAD, 0u);
    EXPECT_EQ(settings.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP), 0u);
    EXPECT_EQ(settings.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(settings.c_oflag & OPOST, 0u);
    EXPECT_EQ(settings.c_cflag & CBAUD, static_cast<tcflag_t>(B19200));
    EXPECT_EQ(settings.c_ospeed, 19200u);

    // A rate without a standard code, set while open, applies from the next open.
    port.SetBaudRate(31250);
    EXPECT_EQ(LineSettings(line).c_ospeed, 19200u);
    port.ClosePort();
    ASSERT_EQ(port.OpenPort(received.Handler()), 1);
    settings = LineSettings(line);
    EXPECT_EQ(settings.c_cflag & CBAUD, static_cast<tcflag_t>(BOTHER));
    EXPECT_EQ(settings.c_ospeed, 31250u);
    EXPECT_EQ(settings.c_ispeed, 31250u);
}

TEST(SerialPort, DeliversStrokesAndABurstWholeInOrderInBlocksOfAtMost512) {
    PseudoTerminal line;
    platform::SerialPort port;
    ReceivedBlocks received;
    PointAt(port, line);
    ASSERT_EQ(port.OpenPort(received.Handler()), 1);

    std::vector<uint8_t> sent = {0x81, 0x27, 0x0C, 0x49, 0x09};
    line.Write(sent);
    ASSERT_TRUE(received.WaitForBytes(sent.size()));
    EXPECT_EQ(received.AllBytes(), sent);

    std::vector<uint8_t> burst(1700);
    for (size_t i = 0; i < burst.size(); ++i) {
        burst[i] = static_cast<uint8_t>(i * 7 + i / 256);
    }
    line.Write(burst);
    sent.insert(sent.end(), burst.begin(), burst.end());
    ASSERT_TRUE(received.WaitForBytes(sent.size()));
    EXPECT_EQ(received.AllBytes(), sent);
    const auto blocks = received.Blocks();
    EXPECT_GE(blocks.size(), 1u + 4u);  // 1700 bytes need at least four blocks
    for (const auto& block : blocks) {
        EXPECT_LE(block.size(), 512u);
        EXPECT_FALSE(block.empty());
    }
}

// The line's exclusive mark is checked as well as a second open: root (as CI runs) opens a
// marked line anyway, and a mark left behind by a close would lock every ordinary user out.
TEST(SerialPort, IsExclusiveUntilClosed) {
    PseudoTerminal line;
    platform::SerialPort first;
    platform::SerialPort second;
    ReceivedBlocks received;
    PointAt(first, line);
    PointAt(second, line);
    second.ClosePort();  // never opened: nothing happens
    ASSERT_EQ(first.OpenPort(received.Handler()), 1);
    EXPECT_TRUE(line.SlaveIsExclusive());
    EXPECT_EQ(first.OpenPort(received.Handler()), 0);
    EXPECT_TRUE(first.IsOpen());
    EXPECT_EQ(second.OpenPort(received.Handler()), 0);
    EXPECT_FALSE(second.IsOpen());
    EXPECT_TRUE(line.SlaveIsExclusive()) << "a refused open took the mark of the open port";
    first.ClosePort();
    EXPECT_FALSE(line.SlaveIsExclusive());
    first.ClosePort();
    EXPECT_EQ(second.OpenPort(received.Handler()), 1);
    second.ClosePort();
    {
        platform::SerialPort destroyedOpen;
        PointAt(destroyedOpen, line);
        ASSERT_EQ(destroyedOpen.OpenPort(received.Handler()), 1);
    }
    EXPECT_FALSE(line.SlaveIsExclusive()) << "a port destroyed while open kept the line";
}

TEST(SerialPort, FailedOpensLeaveThePortClosed) {
    PseudoTerminal line;
    ReceivedBlocks received;
    platform::SerialPort absent;
    absent.SetPortPath("/dev/no-such-serial-port");
    EXPECT_EQ(absent.OpenPort(received.Handler()), 0);

    // Opened, then refused by the line settings: the line is given back unmarked.
    platform::SerialPort badRate;
    PointAt(badRate, line, 0);
    EXPECT_EQ(badRate.OpenPort(received.Handler()), 0);
    EXPECT_FALSE(badRate.IsOpen());
    EXPECT_EQ(badRate.IsDsrOn(), 0);
    EXPECT_FALSE(line.SlaveIsExclusive());

    // A prefix that leaves no room for the number within 32 bytes.
    platform::SerialPort longName;
    longName.SetPortPath("/dev/pts/../pts/../pts/../pts/../pts/");
    longName.SetComPort(line.Number());
    EXPECT_EQ(longName.OpenPort(received.Handler()), 0);

    // None of them holds the line.
    platform::SerialPort good;
    PointAt(good, line);
    EXPECT_EQ(good.OpenPort(received.Handler()), 1);
}

// A hung-up line is reported once and then costs no wake-ups: a watch thread that took it for a
// quiet line would poll it again and again.
TEST(SerialPort, CloseIsPromptOnASilentLineAndAHungUpLineDoesNotSpin) {
    PseudoTerminal line;
    platform::SerialPort port;
    ReceivedBlocks received;
    PointAt(port, line);
    for (const bool hangUp : {false, true}) {
        SCOPED_TRACE(hangUp);
        std::atomic<int> goneReports{0};
        const std::set<std::string> earlierThreads = testsupport::ThreadsOfProcess();
        ASSERT_EQ(port.OpenPort(received.Handler(), [&goneReports] { ++goneReports; }), 1);
        if (hangUp) {
            line.CloseMaster();
        }
        std::this_thread::sleep_for(20ms);
        const long wakeUps = testsupport::MostContextSwitchesOfOneThread(
            earlierThreads, [&] { std::this_thread::sleep_for(hangUp ? 300ms : 10ms); });
        EXPECT_LT(wakeUps, 30);
        EXPECT_EQ(goneReports.load(), hangUp ? 1 : 0);
        const auto start = std::chrono::steady_clock::now();
        port.ClosePort();
        EXPECT_LT(std::chrono::steady_clock::now() - start, 100ms);
    }
    EXPECT_TRUE(received.Blocks().empty());
}

}  // namespace

// Threads that wait for work block until it comes, instead of waking up again and again: an
// open capture with a quiet pad must cost (next to) nothing.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <set>
#include <string>
#include <thread>

#include "LoopbackPeer.h"
#include "ProcessCpu.h"
#include "TemporaryRoot.h"
#include "host/PointPump.h"
#include "tablet/Tablet.h"

namespace {

using namespace std::chrono_literals;

// A thread polling every 10 ms makes about 100 in a second.
constexpr long kFewWakeUps = 20;

// Of the threads that were not there before the code under test started.
long MostWakeUpsOfOneThreadInASecond(const std::set<std::string>& earlierThreads) {
    return testsupport::MostContextSwitchesOfOneThread(earlierThreads,
                                                       [] { std::this_thread::sleep_for(1s); });
}

// Counts the pump thread's own switches: other threads of the process (a sanitizer's, the test
// runner's) are switched more often on a busy machine, while a blocked pump is not switched at all.
TEST(IdleWakeUps, PointPumpBlocksWhileTheQueueStaysEmpty) {
    testsupport::ScopedInkoraRoot root;
    Tablet tablet;
    PumpControl control;
    control.currentTablet = &tablet;
    std::promise<long> pumpTask;
    std::thread pump([&] {
        pumpTask.set_value(testsupport::CurrentTaskId());
        PointPump(control);
    });
    const long task = pumpTask.get_future().get();
    EXPECT_LT(testsupport::ContextSwitchesOfThread(task, [] { std::this_thread::sleep_for(1s); }),
              kFewWakeUps);
    StopPointPump(control);
    pump.join();
}

TEST(IdleWakeUps, TcpReaderBlocksOnASilentBridgeAndAfterItHasGone) {
    testsupport::ScopedInkoraRoot root;
    const uint16_t port = loopback::FreePort();
    root.WriteSettings(
        "[Tablet]\nTabletType=7\nTabletPortPath=quiet\nSocketTimeout=5000\n"
        "SocketPort=" +
        std::to_string(port - 1) + "\n");
    const std::set<std::string> earlierThreads = testsupport::ThreadsOfProcess();
    Tablet tablet;
    auto opened = std::async(std::launch::async, [&] { return tablet.OpenTablet(); });
    loopback::Connection bridge = loopback::ConnectWhenListening(port, 2s);
    ASSERT_TRUE(bridge.SendAll(loopback::BridgeHello(2, "quiet")));
    ASSERT_TRUE(opened.get());

    EXPECT_LT(MostWakeUpsOfOneThreadInASecond(earlierThreads), kFewWakeUps)
        << "with the bridge silent";
    bridge.Close();
    std::this_thread::sleep_for(50ms);
    EXPECT_LT(MostWakeUpsOfOneThreadInASecond(earlierThreads), kFewWakeUps)
        << "with the bridge gone";

    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(tablet.CloseTablet());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 200ms);
}

// A reader that finds the pad gone sets its flag, then wakes the input loop. When the loop sees
// the flag first (it was awake, taking the reader's last bytes), the wake that comes after must
// not keep it from blocking ever after: the process then uses next to no processor time.
TEST(IdleWakeUps, InputLoopBlocksAfterThePadHasGoneWhenTheReadersWakeComesLate) {
    testsupport::ScopedInkoraRoot root;
    Tablet tablet;
    tablet.inputProcessor->StartSerialInput();
    tablet.readerFoundPadGone = true;  // the reader's flag, its wake not given yet
    const uint8_t lastPacket[] = {0x81, 0x27, 0x0C, 0x49, 0x09};
    tablet.FeedReport(lastPacket, sizeof lastPacket);  // the loop takes it and sees the flag
    for (int i = 0; i < 5000 && !tablet.PadGone(); ++i) {
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_TRUE(tablet.PadGone());
    tablet.inputRing->WakeReader();  // the reader's wake, late
    const double before = testsupport::ProcessCpuMs();
    std::this_thread::sleep_for(1s);
    EXPECT_LT(testsupport::ProcessCpuMs() - before, 100.0) << "the input loop spins";
    tablet.inputProcessor->CloseProcessInputData();
}

}  // namespace

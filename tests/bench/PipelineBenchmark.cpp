// Throughput of the capture pipeline inside one process: 5-byte pad packets fed through
// FeedReport (the byte ring), framed by the input loop, decoded into the point queue, and taken
// out with GetNextPoint. The feeder never lets the ring or the queue overflow, so every packet
// must come out; the figure is packets per second and nanoseconds per packet.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

#include "tablet/Tablet.h"

namespace {

std::vector<uint8_t> PenPackets(int count) {
    std::vector<uint8_t> bytes;
    bytes.reserve(static_cast<size_t>(count) * 5);
    for (int i = 0; i < count; ++i) {
        const int x = 500 + i % 2150;
        const int y = 350 + i % 1750;
        bytes.insert(bytes.end(),
                     {0x81, static_cast<uint8_t>(x & 0x7F), static_cast<uint8_t>(x >> 7),
                      static_cast<uint8_t>(y & 0x7F), static_cast<uint8_t>(y >> 7)});
    }
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    const int packets = argc > 1 ? std::atoi(argv[1]) : 500000;
    const std::filesystem::path root = std::filesystem::temp_directory_path() / "pipeline-bench";
    std::filesystem::create_directories(root / "windows");
    setenv("INKORA_ROOT", root.c_str(), 1);

    Tablet tablet;
    tablet.inputProcessor->StartSerialInput();
    const uint8_t endReset = 0x00;
    tablet.FeedReport(&endReset, 1);
    const std::vector<uint8_t> stream = PenPackets(packets);

    const auto start = std::chrono::steady_clock::now();
    std::thread feeder([&] {
        constexpr size_t kBlock = 500;  // 100 packets, a large HID or socket read
        for (size_t offset = 0; offset < stream.size(); offset += kBlock) {
            // Packets in the ring, the loop's chunk in hand (up to 205 packets) and points in the
            // queue must fit the queue together, since the loop may decode them all while the
            // taker sleeps.
            while (tablet.inputRing->GetCount() / 5 + tablet.pointQueue->GetPointCount() >
                   PointQueue::kEntries - 400) {
                std::this_thread::yield();
            }
            const size_t n = std::min(kBlock, stream.size() - offset);
            tablet.FeedReport(stream.data() + offset, static_cast<int32_t>(n));
        }
    });
    PointRecord record{};
    int received = 0;
    while (received < packets && tablet.GetNextPoint(record, 1000)) {
        ++received;
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;
    feeder.join();
    tablet.inputProcessor->CloseProcessInputData();

    const double seconds = std::chrono::duration<double>(elapsed).count();
    std::printf("packets fed: %d, points out: %d, dropped by the queue: %llu\n", packets, received,
                static_cast<unsigned long long>(tablet.pointQueue->DroppedCount()));
    std::printf("%.0f packets/s, %.0f ns per packet\n", received / seconds,
                seconds * 1e9 / received);
    std::filesystem::remove_all(root);
    return received == packets ? 0 : 1;
}

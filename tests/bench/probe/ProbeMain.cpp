// The host between a pad and a browser that this program plays both at once, with one clock:
//   host_probe --host BINARY --transport tcp|serial latency RATE:POINTS...
//       sends pen points at each RATE per second (POINTS of them) and prints the 50th and 99th
//       percentile of the time from the pad's write to the moment the POINT frame could be
//       read from the host's standard output;
//   host_probe --host BINARY --transport tcp|serial [--silent] idle SECONDS
//       keeps a capture open with no pen activity and prints the host's processor share of one
//       core and its threads' wake-ups per second (--silent: the pad never answers a request).
// Both end with the host's peak resident memory. Not a timed test: figures for the notes.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "HostUnderTest.h"
#include "LatencyRecord.h"
#include "PadPeer.h"
#include "ProcessActivity.h"
#include "padsim/BurstPattern.h"
#include "padsim/PacketEncoder.h"

namespace {

using namespace std::chrono_literals;
using probe::Clock;

struct Phase {
    double rate = 0;
    size_t points = 0;
};

struct Options {
    std::string host;
    std::string transport = "tcp";
    bool silent = false;
    std::string mode;
    std::vector<Phase> phases;
    double seconds = 10;
};

bool ParseOptions(int argc, char** argv, Options& options) {
    int i = 1;
    for (; i < argc && argv[i][0] == '-'; ++i) {
        const std::string name = argv[i];
        if (name == "--silent") {
            options.silent = true;
        } else if (i + 1 < argc && name == "--host") {
            options.host = argv[++i];
        } else if (i + 1 < argc && name == "--transport") {
            options.transport = argv[++i];
        } else {
            return false;
        }
    }
    if (i >= argc || options.host.empty()) {
        return false;
    }
    options.mode = argv[i++];
    for (; i < argc; ++i) {
        if (options.mode == "idle") {
            options.seconds = std::stod(argv[i]);
        } else {
            Phase phase;
            if (std::sscanf(argv[i], "%lf:%zu", &phase.rate, &phase.points) != 2) {
                return false;
            }
            options.phases.push_back(phase);
        }
    }
    return options.mode == "idle" || (options.mode == "latency" && !options.phases.empty());
}

uint16_t FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

std::filesystem::path MakeRoot(const std::string& settingsLines) {
    char pattern[] = "/tmp/inkora-probe.XXXXXX";
    const std::filesystem::path root = mkdtemp(pattern);
    std::filesystem::create_directories(root / "windows");
    std::filesystem::create_directories(root / "temp");
    std::ofstream(root / "windows" / "Inkora.ini") << "[Tablet]\n" << settingsLines;
    return root;
}

void SendPhase(probe::PadPeer& pad, probe::LatencyRecord& record, size_t first,
               const Phase& phase) {
    const padsim::PadWindow window;
    const auto start = Clock::now();
    const auto step = std::chrono::duration<double>(1.0 / phase.rate);
    for (size_t i = 0; i < phase.points; ++i) {
        std::this_thread::sleep_until(
            start + std::chrono::duration_cast<Clock::duration>(step * static_cast<double>(i)));
        const padsim::StreamPacket packet =
            padsim::EncodePenPacket(padsim::BurstPoint(first + i, first + phase.points, window));
        record.NoteSent(first + i, Clock::now());
        pad.SendPacket(packet.data(), packet.size());
    }
}

void RunLatency(probe::HostUnderTest& host, probe::PadPeer& pad, const Options& options,
                const std::string& transport) {
    size_t total = 0;
    for (const Phase& phase : options.phases) {
        total += phase.points;
    }
    probe::LatencyRecord record(total);
    std::atomic<size_t> received{0};
    std::atomic<bool> done{false};
    std::thread browser([&] {
        while (!done) {
            if (auto frame = host.NextFrame(50ms);
                frame && record.NoteReceived(frame->text, frame->readAt)) {
                ++received;
            }
        }
    });
    size_t first = 0;
    std::vector<size_t> starts;
    for (const Phase& phase : options.phases) {
        starts.push_back(first);
        SendPhase(pad, record, first, phase);
        first += phase.points;
        const auto deadline = Clock::now() + 2s;
        while (received < first && Clock::now() < deadline) {
            std::this_thread::sleep_for(1ms);
        }
        std::this_thread::sleep_for(200ms);
    }
    done = true;
    browser.join();
    for (size_t k = 0; k < options.phases.size(); ++k) {
        const Phase& phase = options.phases[k];
        const std::vector<double> latencies =
            record.LatenciesMs(starts[k], starts[k] + phase.points);
        std::printf("latency %s %.0f/s: %zu of %zu points, p50 %.3f ms, p99 %.3f ms, max %.3f ms\n",
                    transport.c_str(), phase.rate, latencies.size(), phase.points,
                    probe::Percentile(latencies, 0.50), probe::Percentile(latencies, 0.99),
                    probe::Percentile(latencies, 1.0));
    }
}

void RunIdle(probe::HostUnderTest& host, const Options& options, const std::string& transport) {
    const probe::Activity before = probe::ActivityOf(host.pid());
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(options.seconds));
    const probe::Activity after = probe::ActivityOf(host.pid());
    const double elapsedNs = std::chrono::duration<double, std::nano>(Clock::now() - start).count();
    std::printf("idle %s %s: %.4f%% of one core over %.1f s, %.1f wake-ups/s\n", transport.c_str(),
                options.silent ? "silent" : "answering",
                100.0 * (after.cpuNs - before.cpuNs) / elapsedNs, elapsedNs / 1e9,
                static_cast<double>(after.switches - before.switches) / (elapsedNs / 1e9));
}

int Probe(const Options& options) {
    const bool answering = !options.silent;
    std::unique_ptr<probe::PadPeer> pad = options.transport == "serial"
                                              ? probe::NewPseudoTerminalPad(answering)
                                              : probe::NewTcpBridge(FreePort(), answering);
    const std::filesystem::path root = MakeRoot(pad->SettingsLines());
    int status = 0;
    {
        probe::HostUnderTest host(options.host, root);
        host.Send("{\"command\":\"OPEN\"}");
        const auto reply = host.NextFrame(20s);
        if (!reply || reply->text.find("\"status\":1") == std::string::npos ||
            !pad->WaitUntilCapturing(5s)) {
            std::fprintf(stderr, "host_probe: no capture (%s)\n",
                         reply ? reply->text.c_str() : "no OPEN reply");
            status = 1;
        } else {
            std::this_thread::sleep_for(300ms);  // the pump starts after the reply
            if (options.mode == "idle") {
                RunIdle(host, options, options.transport);
            } else {
                RunLatency(host, *pad, options, options.transport);
            }
            std::printf("peak resident: %ld KiB\n", host.CloseAndPeakResidentKiB());
        }
    }
    pad.reset();
    std::filesystem::remove_all(root);
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: host_probe --host BINARY [--transport tcp|serial] latency "
                     "RATE:POINTS...\n"
                     "       host_probe --host BINARY [--transport tcp|serial] [--silent] idle "
                     "SECONDS\n");
        return 2;
    }
    return Probe(options);
}

// The floor for the host's cost per point: a minimal stand-in for the host, started in its place
// by nmclient, so that its frames go into a pipe that the same reader drains in the same way. It
// reads OPEN, replies, writes the POINT frames of padsim's burst pattern (see tools/README.md)
// one write per frame, then reads CLOSE and says goodbye. nmclient starts its host without
// arguments, so the environment tells: FRAME_FLOOR_POINTS the number of touching points
// (100000), FRAME_FLOOR_RATE the points per second (0, the default: as fast as the pipe takes
// them). A rate paces the frames as padsim paces a burst's packets, and so the host's output:
// at each whole millisecond, every frame that is due.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

void WriteFrame(const char* text, size_t length) {
    char frame[128];
    frame[0] = static_cast<char>(length);
    frame[1] = frame[2] = frame[3] = 0;
    std::memcpy(frame + 4, text, length);
    if (write(STDOUT_FILENO, frame, length + 4) != static_cast<ssize_t>(length + 4)) {
        std::exit(1);
    }
}

// Reads one incoming frame and drops it; false at the end of the input.
bool SkipFrame() {
    unsigned char header[4];
    if (std::fread(header, 1, 4, stdin) != 4) {
        return false;
    }
    const size_t n = header[0] | header[1] << 8 | header[2] << 16 | header[3] << 24;
    std::string body(n, '\0');
    return std::fread(body.data(), 1, n, stdin) == n;
}

void WritePoint(long i, int touch) {
    char message[96];
    const int n =
        std::snprintf(message, sizeof message, "{\"command\":\"POINT\",\"X\":%i,\"Y\":%i,\"P\":%i}",
                      static_cast<int>(i % 2150), static_cast<int>(4 * (i / 2150)), touch);
    WriteFrame(message, static_cast<size_t>(n));
}

long NumberFromEnvironment(const char* name, long fallback) {
    const char* text = std::getenv(name);
    return text != nullptr ? std::atol(text) : fallback;
}

// Writes the frames of points 0 to points - 1 at `rate` per second.
void WritePaced(long points, long rate) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const auto dueAt = [&](long i) {
        return start + std::chrono::duration_cast<Clock::duration>(
                           std::chrono::duration<double>(static_cast<double>(i) / rate));
    };
    for (long i = 0; i < points;) {
        for (const auto now = Clock::now(); i < points && dueAt(i) <= now; ++i) {
            WritePoint(i, 1);
        }
        if (i < points) {
            std::this_thread::sleep_for(
                std::chrono::ceil<std::chrono::milliseconds>(dueAt(i) - Clock::now()));
        }
    }
}

}  // namespace

int main() {
    const long points = NumberFromEnvironment("FRAME_FLOOR_POINTS", 100000);
    const long rate = NumberFromEnvironment("FRAME_FLOOR_RATE", 0);
    if (!SkipFrame()) {
        return 1;
    }
    const char* reply =
        "{\"command\":\"OPEN\",\"status\":1,\"device\":1,\"maxx\":2150,\"maxy\":1400}";
    WriteFrame(reply, std::strlen(reply));
    if (rate > 0) {
        WritePaced(points, rate);
    } else {
        for (long i = 0; i < points; ++i) {
            WritePoint(i, 1);
        }
    }
    WritePoint(points - 1, 0);
    SkipFrame();
    const char* goodbye = "{\"text\":\"EXITING...\"}";
    WriteFrame(goodbye, std::strlen(goodbye));
    return 0;
}

// The floor for the host's cost per point: a minimal program that writes the POINT frames of
// padsim's burst pattern (see tools/README.md) to standard output, one write per frame, and
// reports its own processor time on standard error.
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void WriteFrame(const char* text, size_t length) {
    char frame[128];
    frame[0] = static_cast<char>(length);
    frame[1] = frame[2] = frame[3] = 0;
    std::memcpy(frame + 4, text, length);
    if (write(STDOUT_FILENO, frame, length + 4) < 0) {
        std::exit(1);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const long points = argc > 1 ? std::atol(argv[1]) : 100000;
    char message[96];
    int x = 0;
    int y = 0;
    for (long i = 0; i < points; ++i) {
        x = static_cast<int>(i % 2150);
        y = static_cast<int>(4 * (i / 2150));
        const int n = std::snprintf(message, sizeof message,
                                    "{\"command\":\"POINT\",\"X\":%i,\"Y\":%i,\"P\":%i}", x, y, 1);
        WriteFrame(message, static_cast<size_t>(n));
    }
    const int n = std::snprintf(message, sizeof message,
                                "{\"command\":\"POINT\",\"X\":%i,\"Y\":%i,\"P\":%i}", x, y, 0);
    WriteFrame(message, static_cast<size_t>(n));

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const double seconds = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 +
                           usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
    std::fprintf(stderr, "floor: %ld frames, %.3f s processor time, %.0f ns per frame\n",
                 points + 1, seconds, seconds * 1e9 / static_cast<double>(points + 1));
    return 0;
}

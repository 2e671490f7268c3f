// padsim's connection loop over the kinds of descriptor its modes use: a stream socket, a FIFO
// and a pseudo-terminal, each with the host's end driven by the test.

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "padsim/Channel.h"
#include "padsim/PacketEncoder.h"
#include "padsim/Session.h"
#include "padsim/SessionLoop.h"

namespace {

using namespace std::chrono_literals;
using padsim::Bytes;
using padsim::PadPoint;
using padsim::PadPoints;
using padsim::SessionEnd;

const PadPoints kPoints = {{100, 200, true}, {4095, 0, true}, {7, 4000, false}};

padsim::PointSource Source() {
    return {kPoints.size(), [](uint64_t i) { return kPoints[i]; }};
}

// Runs one session on its own thread, as padsim's main thread does.
class SessionThread {
public:
    SessionThread(padsim::Channel& channel, padsim::SessionConfig config, bool startNow = false)
        : playback_(Source(), 1000.0, false),
          session_(config, playback_, [](const std::string&) {}),
          deadline_(5.0) {
        if (startNow) {
            session_.StartStreaming();
        }
        thread_ = std::thread(
            [this, &channel] { end_ = padsim::RunSession(channel, session_, deadline_); });
    }
    ~SessionThread() {
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    SessionEnd Join() {
        thread_.join();
        return end_;
    }
    const padsim::Session& session() const { return session_; }

private:
    padsim::Playback playback_;
    padsim::Session session_;
    padsim::RunDeadline deadline_;
    SessionEnd end_ = SessionEnd::kStopped;
    std::thread thread_;
};

// Reads exactly n bytes, or fewer if they do not come within the time.
Bytes ReadBytes(int fd, size_t n, std::chrono::milliseconds within = 2s) {
    Bytes bytes;
    const auto end = std::chrono::steady_clock::now() + within;
    while (bytes.size() < n && std::chrono::steady_clock::now() < end) {
        pollfd entry{fd, POLLIN, 0};
        if (poll(&entry, 1, 20) <= 0) {
            continue;
        }
        uint8_t buffer[256];
        const ssize_t got = read(fd, buffer, std::min(sizeof buffer, n - bytes.size()));
        if (got > 0) {
            bytes.insert(bytes.end(), buffer, buffer + got);
        }
    }
    return bytes;
}

void WriteBytes(int fd, const Bytes& bytes) {
    ASSERT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

template <typename Packet>
void Append(Bytes& out, const Packet& packet) {
    out.insert(out.end(), packet.begin(), packet.end());
}

Bytes AnswersThenPoints(int answers) {
    Bytes expected;
    for (int i = 0; i < answers; ++i) {
        Append(expected, padsim::EncodeNumbersAnswer(123456, 5));
    }
    for (const PadPoint& p : kPoints) {
        Append(expected, padsim::EncodePenPacket(p));
    }
    return expected;
}

TEST(PadsimLink, SocketSessionAnswersSplitFramesThenStreamsUntilTheHostCloses) {
    int fds[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, fds), 0);
    padsim::Channel channel(fds[0], true, true, 0);
    padsim::SessionConfig config;
    config.inbound = padsim::Inbound::kFrames;
    config.startAfter = 4;
    SessionThread run(channel, config);

    const Bytes frame = {1, 0, 0, 0, 1, 0, 0, 0, 0x00};
    for (int i = 0; i < 4; ++i) {
        WriteBytes(fds[1], Bytes(frame.begin(), frame.begin() + 3));
        std::this_thread::sleep_for(5ms);
        WriteBytes(fds[1], Bytes(frame.begin() + 3, frame.end()));
    }
    const Bytes expected = AnswersThenPoints(4);
    EXPECT_EQ(ReadBytes(fds[1], expected.size()), expected);
    EXPECT_TRUE(ReadBytes(fds[1], 1, 50ms).empty()) << "nothing more";
    close(fds[1]);
    EXPECT_EQ(run.Join(), SessionEnd::kHostClosed);
    EXPECT_TRUE(run.session().allSent());
}

TEST(PadsimLink, SessionEndsAtTheDeadlineWhenTheHostIsSilent) {
    int fds[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, fds), 0);
    padsim::Channel channel(fds[0], true, true, 0);
    padsim::Playback playback(Source(), 1000.0, false);
    padsim::SessionConfig config;
    config.inbound = padsim::Inbound::kFrames;
    padsim::Session session(config, playback, [](const std::string&) {});
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(padsim::RunSession(channel, session, padsim::RunDeadline(0.2)),
              SessionEnd::kTimeLimit);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, 190ms);
    EXPECT_LT(took, 600ms);
    EXPECT_FALSE(session.streaming());
    close(fds[1]);
}

TEST(PadsimLink, FifoGetsWholePacketsAndNoticesTheReaderLeaving) {
    char dir[] = "/tmp/padsim-link-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string node = std::string(dir) + "/inkora-usbpipe0";
    ASSERT_EQ(mkfifo(node.c_str(), 0600), 0);
    const int reader = open(node.c_str(), O_RDONLY | O_NONBLOCK);
    const int writer = open(node.c_str(), O_WRONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    ASSERT_GE(writer, 0);
    {
        padsim::Channel channel(writer, true, false, sizeof(padsim::UsbPipePacket));
        padsim::SessionConfig config;
        config.inbound = padsim::Inbound::kNone;
        config.outbound = padsim::Outbound::kUsbPipePackets;
        config.answersRequests = false;
        SessionThread run(channel, config, true);
        Bytes expected;
        for (const PadPoint& p : kPoints) {
            Append(expected, padsim::EncodeUsbPipePacket(p));
        }
        EXPECT_EQ(ReadBytes(reader, expected.size()), expected);
        EXPECT_TRUE(ReadBytes(reader, 1, 50ms).empty()) << "nothing more";
        close(reader);
        EXPECT_EQ(run.Join(), SessionEnd::kHostClosed);
    }
    unlink(node.c_str());
    rmdir(dir);
}

TEST(PadsimLink, PseudoTerminalAnswersRawRequestsAndSeesTheHangUp) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    termios raw{};
    ASSERT_EQ(tcgetattr(master, &raw), 0);
    cfmakeraw(&raw);
    ASSERT_EQ(tcsetattr(master, TCSANOW, &raw), 0);
    const int slave = open(ptsname(master), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(slave, 0);
    {
        padsim::Channel channel(master, false, true, 0);
        padsim::SessionConfig config;
        config.inbound = padsim::Inbound::kRawBytes;
        config.startAfter = 2;
        SessionThread run(channel, config);
        WriteBytes(slave, {0x00, 0x41});  // one request answered, one ignored
        const Bytes expected = AnswersThenPoints(1);
        EXPECT_EQ(ReadBytes(slave, expected.size()), expected);
        EXPECT_TRUE(ReadBytes(slave, 1, 50ms).empty()) << "nothing more";
        close(slave);
        EXPECT_EQ(run.Join(), SessionEnd::kHostClosed);
    }
    close(master);
}

}  // namespace

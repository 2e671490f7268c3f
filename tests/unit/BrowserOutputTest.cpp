#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "host/FrameBatch.h"
#include "host/MessageFraming.h"

namespace {

// The writes a child process makes to its standard output while it runs `write`: standard output
// is a packet socket, where every write arrives as a packet of its own.
template <typename Writer>
std::vector<size_t> WritesOf(Writer write) {
    int sockets[2];
    if (socketpair(AF_UNIX, SOCK_SEQPACKET, 0, sockets) != 0) {
        ADD_FAILURE() << "no socket pair";
        return {};
    }
    const pid_t child = fork();
    if (child == 0) {
        dup2(sockets[1], STDOUT_FILENO);
        write();
        _exit(0);
    }
    close(sockets[1]);
    std::vector<size_t> writes;
    std::vector<char> packet(4 * kOutputBufferSize);
    ssize_t n;
    while ((n = recv(sockets[0], packet.data(), packet.size(), 0)) > 0) {
        writes.push_back(static_cast<size_t>(n));
    }
    close(sockets[0]);
    waitpid(child, nullptr, 0);
    return writes;
}

// A full batch of POINT frames leaves in one write, not cut at a buffer the C library chose.
TEST(BrowserOutput, AFullBatchOfFramesLeavesInOneWrite) {
    FrameBatch batch;
    const std::string text = R"({"command":"POINT","X":2149,"Y":1399,"P":1})";
    while (batch.HasRoom()) {
        batch.Append(text);
    }
    const std::vector<size_t> writes = WritesOf([&] {
        SendToBrowser(R"({"text":"ready"})");
        SendFramesToBrowser(batch.Bytes());
        SendFramesToBrowser(batch.Bytes());
    });
    EXPECT_GT(batch.Bytes().size(), 4096u);
    EXPECT_EQ(writes, (std::vector<size_t>{20, batch.Bytes().size(), batch.Bytes().size()}));
}

}  // namespace

// The TCP client's connect meeting itself: Linux only, as it needs a network namespace whose
// ephemeral port range is narrowed to one port.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "TemporaryRoot.h"
#include "tablet/Tablet.h"

namespace {

constexpr uint16_t kPort = 40000;

bool NarrowEphemeralRangeToThePort() {
    const int control = socket(AF_INET, SOCK_DGRAM, 0);
    ifreq loopbackUp{};
    std::strcpy(loopbackUp.ifr_name, "lo");
    loopbackUp.ifr_flags = IFF_UP | IFF_LOOPBACK | IFF_RUNNING;
    std::ofstream range("/proc/sys/net/ipv4/ip_local_port_range");
    return ioctl(control, SIOCSIFFLAGS, &loopbackUp) == 0 &&
           static_cast<bool>(range << kPort << ' ' << kPort << std::flush);
}

// With the ephemeral range the pad's one port and nobody listening there, the open's connect is
// given that port as its own and meets itself (TCP's simultaneous open): the host would take its
// own requests for the pad's answers. Exit code 0 when the open failed and left the port in
// TIME_WAIT, which proves that its connect had met itself (a plain refusal leaves the port free,
// and the check's own connect would then meet itself).
[[noreturn]] void OpenWhereTheConnectMeetsItself() {
    if (unshare(CLONE_NEWNET) != 0 || !NarrowEphemeralRangeToThePort()) {
        _exit(2);
    }
    testsupport::ScopedInkoraRoot root;
    root.WriteSettings("[Tablet]\nTabletType=5\nTabletIpAddress=127.0.0.1\nSocketPort=" +
                       std::to_string(kPort) + "\n");
    if (Tablet().OpenTablet()) {
        _exit(1);
    }
    const int check = socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in pad{AF_INET, htons(kPort), {htonl(INADDR_LOOPBACK)}, {}};
    const bool portInTimeWait =
        connect(check, reinterpret_cast<const sockaddr*>(&pad), sizeof pad) != 0 &&
        errno == EADDRNOTAVAIL;
    _exit(portInTimeWait ? 0 : 3);
}

TEST(TcpClientSelfConnect, AConnectThatMeetsItselfIsNoOpen) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "a network namespace of its own needs root";
    }
    EXPECT_EXIT(OpenWhereTheConnectMeetsItself(), ::testing::ExitedWithCode(0), "");
}

}  // namespace

#include "transports/NewSocketIoIFWin.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/Clock.h"
#include "tablet/BridgeAddresses.h"
#include "tablet/DiagnosticLog.h"
#include "tablet/Ipv4Address.h"
#include "tablet/SocketPorts.h"
#include "tablet/Tablet.h"

namespace {

using namespace std::chrono_literals;

constexpr uint32_t kAnyLocalAddress = 0;
constexpr int kListenBacklog = 2;
// The longest one pass waits for a connection, and the time a new connection has to present
// its hello.
constexpr auto kAcceptPass = 200ms;
constexpr auto kHelloTime = 100ms;

template <size_t N>
std::string_view TextOf(const char (&field)[N]) {
    return {field, static_cast<size_t>(std::find(field, field + N, '\0') - field)};
}

}  // namespace

bool NewSocketIoIFWin::InitTablet() {
    WriteLogLine("NewSocket InitTablet Entry");
    if (owner->isOpen) {
        WriteLogLine("NewSocket Exiting Tablet already open");
        return false;
    }
    ReleaseLink();
    readerRunning = false;
    stopReader = false;
    const platform::SocketHandle acceptor = OpenAcceptor();
    if (acceptor == platform::kInvalidSocket) {
        WriteLogLine("NewSocket Exiting, cannot create acceptor");
        return false;
    }
    const PeerWait outcome = WaitForPeer(acceptor);
    if (outcome == PeerWait::TimedOut) {
        WriteLogLine("Socket timed out, failed to open tablet");
    }
    const bool started =
        outcome == PeerWait::Accepted && StartReader([this] { NewSocketReadThread(this); });
    // Once a peer is taken no further connection is accepted.
    platform::CloseSocket(acceptor);
    if (!started) {
        CloseConnection();
    }
    return started;
}

// A non-blocking listener on every local address. The bind and listen lines are logged
// whether they succeed or not.
platform::SocketHandle NewSocketIoIFWin::OpenAcceptor() {
    const platform::SocketHandle acceptor = platform::CreateStreamSocket();
    if (acceptor == platform::kInvalidSocket) {
        return acceptor;
    }
    platform::SetSocketNonBlocking(acceptor, true);
    platform::ReserveListeningPort(acceptor);
    const uint16_t port = ListenerPort(owner->settings.SocketPort);
    const int bound = platform::BindSocket(acceptor, kAnyLocalAddress, port);
    const int bindError = platform::LastSocketError();
    WriteLogFormat("NewSocket Accept error %d, %d", bound, bindError);
    const int listening = platform::ListenSocket(acceptor, kListenBacklog);
    const int listenError = platform::LastSocketError();
    WriteLogFormat("NewSocket listen error %d, %d", listening, listenError);
    return acceptor;
}

// Takes connections until one presents the right hello, the time runs out, or accept fails.
// A pass without a connection waits up to 200 ms for one; a connection is looked at once it
// has presented the right hello, or after 100 ms.
NewSocketIoIFWin::PeerWait NewSocketIoIFWin::WaitForPeer(platform::SocketHandle acceptor) {
    const uint32_t start = platform::TimeGetTime();
    const int32_t timeout = owner->settings.SocketTimeout;
    const auto timeLeft = [start, timeout] {
        return static_cast<int32_t>(platform::TimeGetTime() - start) < timeout;
    };
    if (!timeLeft()) {
        return PeerWait::TimedOut;
    }
    const BridgeAddressList allowed = ParseBridgeAddresses(owner->settings.BridgeAddresses);
    platform::SocketWaiter waiter;
    for (;;) {
        peerSocket = platform::AcceptConnection(acceptor);
        if (peerSocket == platform::kInvalidSocket) {
            const int code = platform::LastSocketError();
            if (!platform::IsWouldBlock(code)) {
                WriteLogFormat("NewSocket Exiting accept error %d", code);
                return PeerWait::Failed;
            }
            AwaitConnection(waiter, acceptor);
        } else if (!ComesFromAllowedAddress(allowed)) {
            CloseConnection();  // its hello is never read
        } else {
            AwaitHello(waiter);
            if (PeerPresentsIdentity()) {
                return PeerWait::Accepted;
            }
            CloseConnection();
        }
        if (!timeLeft()) {
            return PeerWait::TimedOut;
        }
    }
}

// Whether the connection comes from an address that BridgeAddresses allows; a refusal is logged.
bool NewSocketIoIFWin::ComesFromAllowedAddress(const BridgeAddressList& allowed) const {
    uint32_t address = 0;
    const bool known = platform::PeerAddress(peerSocket, address);
    if (allowed.AnyAddress() || (known && allowed.Accepts(address))) {
        return true;
    }
    WriteLogFormat("NewSocket refused a bridge from %s: not in BridgeAddresses",
                   known ? FormatIpv4Address(address).c_str() : "an unknown address");
    return false;
}

// Until a connection waits on the acceptor, at most one pass.
void NewSocketIoIFWin::AwaitConnection(platform::SocketWaiter& waiter,
                                       platform::SocketHandle acceptor) {
    const auto passEnd = std::chrono::steady_clock::now() + kAcceptPass;
    if (waiter.Wait(acceptor, static_cast<int32_t>(kAcceptPass.count())) ==
        platform::SocketWaiter::Outcome::Failed) {
        std::this_thread::sleep_until(passEnd);
    }
}

// Until the peer has sent the right hello, at most the hello time. A hello that is wrong, or
// still incomplete at its first arrival, gets the whole time, as it always had.
void NewSocketIoIFWin::AwaitHello(platform::SocketWaiter& waiter) {
    const auto helloEnd = std::chrono::steady_clock::now() + kHelloTime;
    if (waiter.Wait(peerSocket, static_cast<int32_t>(kHelloTime.count())) ==
            platform::SocketWaiter::Outcome::Readable &&
        RightHelloArrived()) {
        return;
    }
    std::this_thread::sleep_until(helloEnd);
}

bool NewSocketIoIFWin::RightHelloArrived() {
    std::vector<uint8_t> message(kReceiveLimit);
    const int peeked = platform::PeekBytes(peerSocket, message.data(), kReceiveLimit);
    return peeked > 0 &&
           HelloMatches(message.data(), peeked, TextOf(owner->settings.TabletPortPath));
}

// The hello is what one receive takes; anything the peer sent behind it in the same receive
// goes with it. A peer that has sent nothing yet is refused.
bool NewSocketIoIFWin::PeerPresentsIdentity() {
    std::vector<uint8_t> message(kReceiveLimit);
    if (platform::PeekBytes(peerSocket, message.data(), kReceiveLimit) <= 0) {
        return false;
    }
    platform::SetSocketNonBlocking(peerSocket, true);
    WriteLogFormat("setsockopt returns %d", platform::SetNoDelay(peerSocket));
    const int received = platform::ReceiveBytes(peerSocket, message.data(), kReceiveLimit);
    return HelloMatches(message.data(), received, TextOf(owner->settings.TabletPortPath));
}

void NewSocketIoIFWin::NewSocketReadThread(NewSocketIoIFWin* transport) {
    std::array<uint8_t, kReceiveLimit> buffer;
    while (!transport->stopReader) {
        const int32_t received = transport->ServeOnePass(buffer.data(), kReceiveLimit);
        if (received > 0) {
            transport->owner->FeedReport(buffer.data(), received);
        }
    }
    transport->ReaderFinished();
}

// The TCP listener's hello check on whatever a first receive takes: it matches exactly when
// the message is of type 2 and holds the identity at offset 8 followed by a zero byte, and it
// reads nothing beyond the bytes received.
#include <cstring>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "transports/SocketWire.h"

namespace {

constexpr size_t kHelloTextOffset = 8;

bool Expected(const std::vector<uint8_t>& message, const std::string& identity) {
    if (message.size() < kHelloTextOffset + identity.size() + 1) {
        return false;
    }
    const uint32_t type =
        message[0] | message[1] << 8 | message[2] << 16 | static_cast<uint32_t>(message[3]) << 24;
    return type == kHelloType &&
           std::memcmp(message.data() + kHelloTextOffset, identity.data(), identity.size()) == 0 &&
           message[kHelloTextOffset + identity.size()] == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    // The identity comes from a terminated settings text: it holds no zero byte.
    std::string identity(input.Take(input.Byte() % 128));
    for (char& c : identity) {
        c = c == '\0' ? '0' : c;
    }
    const std::string_view rest = input.Rest();
    const std::vector<uint8_t> message(rest.begin(), rest.end());  // exactly what was received
    const auto length = static_cast<int32_t>(message.size());
    Require(HelloMatches(message.data(), length, identity) == Expected(message, identity),
            "a hello matches exactly when it carries the terminated identity");
    Require(!HelloMatches(message.data(), -1, identity), "a failed receive matches nothing");
    return 0;
}

#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ChildProcess.h"
#include "HostSession.h"

namespace testsupport {

// winepad.exe in the test's prefix: the virtual pad bus (HID pads, serial ports, pipe pads),
// driven line by line. It installs the bus on its first start; its pads vanish when it ends.
class WinePad {
public:
    explicit WinePad(const std::string& prefix);
    ~WinePad();
    WinePad(const WinePad&) = delete;
    WinePad& operator=(const WinePad&) = delete;

    // A new pad's id, once the system lists it (0 when refused, which fails the test); the
    // built-in descriptor when `descriptor` is empty.
    uint32_t Plug(uint16_t vendorId, uint16_t productId, const std::string& descriptor = "");
    // A serial port named COMn, or a pipe pad; its id (0 when refused, as above).
    uint32_t PlugPort(int number) { return Plugged("port " + std::to_string(number)); }
    uint32_t PlugPipe() { return Plugged("pipe"); }
    // Sends a command and waits for the line that answers it: the first one starting with
    // `answer`. A failure, saying what winepad said instead, when it does not come in time (an
    // unplug is answered once the system no longer lists the pad, as slow as a plug).
    ::testing::AssertionResult Command(const std::string& line, const std::string& answer,
                                       Milliseconds timeout = 90000ms);
    // Feeds the pad a byte stream packed into input reports of `length` bytes, each a count
    // byte (with `countFlags` set in its high bits, which the host must mask off) and payload.
    bool Feed(uint32_t pad, const std::vector<uint8_t>& stream, size_t length,
              uint8_t countFlags = 0);
    // Feeds a serial port or a pipe pad what it sends, in pieces of whole packets.
    bool FeedBytes(uint32_t pad, const std::vector<uint8_t>& bytes, size_t packetSize);
    // A serial port's state: "baud" -> "38400", "waits" -> "3" and so on (see tools/README.md).
    std::map<std::string, std::string> PortState(uint32_t pad);
    // Every "sent" line so far: "sent PAD KIND ID HEX".
    const std::vector<std::string>& Sent();

private:
    bool ReadLine(std::string& line, Milliseconds timeout);
    uint32_t Plugged(const std::string& command);
    ChildProcess process;
    std::vector<std::string> sent;
};

}  // namespace testsupport

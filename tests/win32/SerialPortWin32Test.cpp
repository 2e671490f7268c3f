#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>

#include "platform/SerialPort.h"

// Opens that fail, and what they leave behind. Capture over a port runs end to end under Wine,
// with a pseudo-terminal mapped as the COM port (tests/e2e-wine).

namespace {

platform::ReceivedBytesHandler Ignore() {
    return [](const uint8_t*, int32_t) {};
}

TEST(SerialPortWin32, AnAbsentPortFailsToOpenAndAnswersAsClosed) {
    platform::SerialPort port;
    port.SetComPort(87);  // \\.\COM87, which no prefix maps
    EXPECT_EQ(port.OpenPort(Ignore()), 0);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.IsDsrOn(), 0);
    const uint8_t request = 0x00;
    EXPECT_EQ(port.WritePort(&request, 1), 0);
    port.ClosePort();
    port.ClosePort();
}

TEST(SerialPortWin32, AFileThatIsNoPortFailsTheOpenAndIsNotHeld) {
    const char* prefix = "serial-port-test-file";
    const std::string path = std::string(prefix) + "1";
    std::ofstream(path) << "not a port";
    platform::SerialPort port;
    port.SetPortPath(prefix);
    port.SetComPort(1);
    EXPECT_EQ(port.OpenPort(Ignore()), 0);
    EXPECT_FALSE(port.IsOpen());

    // The failed open let the file go: it opens exclusively again.
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE) << GetLastError();
    CloseHandle(file);
    EXPECT_TRUE(DeleteFileA(path.c_str()));
}

}  // namespace

#include <gtest/gtest.h>

#include <string>

#include "platform/SerialPort.h"

namespace {

using platform::FormPortName;

std::string Formed(const char* prefix, int32_t port) {
    char name[platform::kPortNameSize];
    return FormPortName(prefix, port, name) ? std::string(name) : std::string("<failed>");
}

TEST(SerialPortName, PortsFromTenUpAreNamedInTheDeviceNamespace) {
    EXPECT_EQ(Formed("COM", 1), "COM1");
    EXPECT_EQ(Formed("COM", 9), "COM9");
    EXPECT_EQ(Formed("COM", 10), "\\\\.\\COM10");
    EXPECT_EQ(Formed("/dev/pts/", 3), "/dev/pts/3");
    EXPECT_EQ(Formed("/dev/ttyUSB", 12), "\\\\.\\/dev/ttyUSB12");
}

TEST(SerialPortName, ANameThatDoesNotFitThirtyTwoBytesFails) {
    const std::string prefix30(30, 'p');
    EXPECT_EQ(Formed(prefix30.c_str(), 5), prefix30 + "5");  // 31 characters and the NUL
    const std::string prefix31(31, 'p');
    EXPECT_EQ(Formed(prefix31.c_str(), 5), "<failed>");
    // The device-namespace prefix counts: 4 + 25 + 2 characters fit, 4 + 26 + 2 do not.
    EXPECT_EQ(Formed(std::string(25, 'p').c_str(), 10), "\\\\.\\" + std::string(25, 'p') + "10");
    EXPECT_EQ(Formed(std::string(26, 'p').c_str(), 10), "<failed>");
    char name[platform::kPortNameSize];
    EXPECT_FALSE(FormPortName(std::string(127, 'x').c_str(), 1, name));
    EXPECT_STREQ(name, "");
}

}  // namespace

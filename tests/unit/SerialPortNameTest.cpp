#include <gtest/gtest.h>

#include <string>

#include "platform/SerialPort.h"

namespace {

using platform::DevicePathOfPortName;
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

TEST(SerialPortName, ComPortsMapToTtySAndOtherNamesAreOpenedAsFormed) {
    EXPECT_EQ(DevicePathOfPortName("COM1"), "/dev/ttyS0");
    EXPECT_EQ(DevicePathOfPortName("COM9"), "/dev/ttyS8");
    EXPECT_EQ(DevicePathOfPortName("\\\\.\\COM10"), "/dev/ttyS9");
    EXPECT_EQ(DevicePathOfPortName("com3"), "/dev/ttyS2");
    EXPECT_EQ(DevicePathOfPortName("/dev/pts/4"), "/dev/pts/4");
    EXPECT_EQ(DevicePathOfPortName("\\\\.\\/dev/pts/12"), "/dev/pts/12");
    EXPECT_EQ(DevicePathOfPortName("\\\\.\\/dev/ttyUSB10"), "/dev/ttyUSB10");
    // Not COM and a number from 1: the name itself.
    EXPECT_EQ(DevicePathOfPortName("COM0"), "COM0");
    EXPECT_EQ(DevicePathOfPortName("COM-1"), "COM-1");
    EXPECT_EQ(DevicePathOfPortName("COMX1"), "COMX1");
    EXPECT_EQ(DevicePathOfPortName("COM99999999999999999999"), "COM99999999999999999999");
    EXPECT_EQ(DevicePathOfPortName("XCOM1"), "XCOM1");
}

}  // namespace

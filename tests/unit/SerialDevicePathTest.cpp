#include <gtest/gtest.h>

#include "platform/SerialPort.h"

// The POSIX stand-ins for Windows port names.
namespace {

using platform::DevicePathOfPortName;

TEST(SerialDevicePath, ComPortsMapToTtySAndOtherNamesAreOpenedAsFormed) {
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

#include "platform/posix/HidrawDevices.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "TemporaryRoot.h"

namespace {

using namespace std::chrono_literals;
using platform::HidReadResult;
using platform::HidReadStart;
using platform::HidReadStatus;
using Bytes = std::vector<uint8_t>;

// 64 bytes in and out, without report ids.
const Bytes kPadDescriptor = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x75, 0x08,
                              0x95, 0x40, 0x81, 0x02, 0x95, 0x40, 0x91, 0x02, 0xC0};
// Report id 2 with 5 bytes in.
const Bytes kNumberedDescriptor = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85,
                                   0x02, 0x75, 0x08, 0x95, 0x05, 0x81, 0x02, 0xC0};

void WriteFile(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

Bytes ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

Bytes Text(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

// A class directory and a device directory laid out like /sys/class/hidraw and /dev.
class HidrawDevices : public ::testing::Test {
protected:
    HidrawDevices()
        : classDirectory(std::filesystem::path(root.path()) / "class"),
          deviceDirectory(std::filesystem::path(root.path()) / "dev"),
          devices(platform::CreateHidrawDevices(classDirectory, deviceDirectory)) {
        std::filesystem::create_directories(deviceDirectory);
    }

    void AddInterface(const std::string& name, const std::string& uevent, const Bytes& descriptor) {
        const std::filesystem::path device = classDirectory / name / "device";
        std::filesystem::create_directories(device);
        WriteFile(device / "uevent", Text(uevent));
        WriteFile(device / "report_descriptor", descriptor);
    }

    std::string NodePath(const std::string& name) const { return deviceDirectory / name; }

    testsupport::TemporaryRoot root;
    const std::filesystem::path classDirectory;
    const std::filesystem::path deviceDirectory;
    std::unique_ptr<platform::HidDevices> devices;
};

TEST_F(HidrawDevices, EnumeratesNodesInNumberOrder) {
    AddInterface("hidraw10", "DRIVER=hid-generic\nHID_ID=0003:00001D5B:00000043\n", kPadDescriptor);
    AddInterface("hidraw3", "HID_ID=0003:0000046d:0000C52F\nHID_NAME=Mouse\n", kNumberedDescriptor);
    AddInterface("hidraw2", "HID_NAME=no id line\n", kPadDescriptor);
    AddInterface("hidrawX", "HID_ID=0003:00001D5B:00000043\n", kPadDescriptor);
    std::filesystem::create_directories(classDirectory / "hidraw5" / "device");  // no files

    const std::vector<platform::HidInterface> found = devices->EnumerateInterfaces();
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].path, NodePath("hidraw3"));
    EXPECT_EQ(found[0].vendorId, 0x046D);
    EXPECT_EQ(found[0].productId, 0xC52F);
    EXPECT_EQ(found[0].inputReportLength, 6);
    EXPECT_EQ(found[0].outputReportLength, 0);
    EXPECT_EQ(found[1].path, NodePath("hidraw10"));
    EXPECT_EQ(found[1].vendorId, 0x1D5B);
    EXPECT_EQ(found[1].productId, 0x0043);
    EXPECT_EQ(found[1].inputReportLength, 65);
    EXPECT_EQ(found[1].outputReportLength, 65);
}

TEST_F(HidrawDevices, ReportsArePresentedInTheWindowsLayout) {
    AddInterface("hidraw0", "HID_ID=0003:00001D5B:00000043\n", kPadDescriptor);
    AddInterface("hidraw1", "HID_ID=0003:00001D5B:00000043\n", kNumberedDescriptor);
    // A regular file stands for the node: one read takes its whole content as one report.
    WriteFile(NodePath("hidraw0"), {0x01, 0xC5, 0xAA});
    WriteFile(NodePath("hidraw1"), {0x02, 0x11, 0x22});

    uint8_t buffer[80];
    std::fill(std::begin(buffer), std::end(buffer), 0xEE);
    auto unnumbered = devices->OpenReader(NodePath("hidraw0"));
    ASSERT_NE(unnumbered, nullptr);
    HidReadResult read = unnumbered->ReadReport(buffer, 65);
    ASSERT_EQ(read.status, HidReadStatus::kReport);
    EXPECT_EQ(read.received, 4);
    Bytes expected(65, 0);
    expected[1] = 0x01;
    expected[2] = 0xC5;
    expected[3] = 0xAA;
    EXPECT_EQ(Bytes(buffer, buffer + 65), expected);
    EXPECT_EQ(buffer[65], 0xEE);  // padded to the report length, not beyond
    // At its end a regular file reads as a hang-up, found by the read call itself.
    read = unnumbered->ReadReport(buffer, 65);
    EXPECT_EQ(read.status, HidReadStatus::kGone);
    EXPECT_EQ(read.start, HidReadStart::kFailed);

    auto numbered = devices->OpenReader(NodePath("hidraw1"));
    ASSERT_NE(numbered, nullptr);
    std::fill(std::begin(buffer), std::end(buffer), 0xEE);
    read = numbered->ReadReport(buffer, 2);
    ASSERT_EQ(read.status, HidReadStatus::kReport);
    EXPECT_EQ(read.received, 2);  // cut to the capacity
    EXPECT_EQ(Bytes(buffer, buffer + 3), (Bytes{0x02, 0x11, 0xEE}));
}

// What the node shows at the read's first look decides whether the read call completed or
// failed by itself, or left the read pending.
TEST_F(HidrawDevices, ReadsTellWhetherTheyEndedAtOnceOrWaited) {
    AddInterface("hidraw0", "HID_ID=0003:00001D5B:00000043\n", kPadDescriptor);
    ASSERT_EQ(mkfifo(NodePath("hidraw0").c_str(), 0600), 0);  // readable only once written to
    auto reader = devices->OpenReader(NodePath("hidraw0"));
    ASSERT_NE(reader, nullptr);
    const int pad = open(NodePath("hidraw0").c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(pad, 0);
    const Bytes report = {0x05, 0x81, 0x27};
    ASSERT_EQ(write(pad, report.data(), report.size()), 3);
    uint8_t buffer[65];
    HidReadResult read = reader->ReadReport(buffer, 65);
    EXPECT_EQ(read.status, HidReadStatus::kReport);
    EXPECT_EQ(read.start, HidReadStart::kCompleted);
    EXPECT_EQ(read.startBytes, 4);
    EXPECT_EQ(read.received, 4);

    std::thread later([&] {
        std::this_thread::sleep_for(50ms);
        EXPECT_EQ(write(pad, report.data(), report.size()), 3);
    });
    read = reader->ReadReport(buffer, 65);
    later.join();
    EXPECT_EQ(read.status, HidReadStatus::kReport);
    EXPECT_EQ(read.start, HidReadStart::kPending);
    EXPECT_EQ(read.startBytes, 0);
    EXPECT_EQ(read.received, 4);
    close(pad);

    std::thread closer([&] {
        std::this_thread::sleep_for(50ms);
        reader->Cancel();
    });
    const auto start = std::chrono::steady_clock::now();
    read = reader->ReadReport(buffer, 65);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 40ms);
    closer.join();
    EXPECT_EQ(read.status, HidReadStatus::kCancelled);
    EXPECT_EQ(read.start, HidReadStart::kPending);
    EXPECT_EQ(read.received, 0);
    EXPECT_EQ(reader->ReadReport(buffer, 65).status, HidReadStatus::kCancelled);
}

TEST_F(HidrawDevices, WritesGoOutAsGivenAndMissingNodesDoNotOpen) {
    AddInterface("hidraw0", "HID_ID=0003:00001D5B:00000043\n", kPadDescriptor);
    WriteFile(NodePath("hidraw0"), {});
    auto device = devices->OpenDevice(NodePath("hidraw0"));
    ASSERT_NE(device, nullptr);
    const Bytes report = {0x00, 0x01, 0x00, 0x00};
    EXPECT_TRUE(device->WriteReport(report.data(), 4));
    EXPECT_EQ(ReadFile(NodePath("hidraw0")), report);

    EXPECT_EQ(devices->OpenDevice(NodePath("hidraw9")), nullptr);
    EXPECT_EQ(devices->OpenReader(NodePath("hidraw9")), nullptr);
}

TEST(HidrawUevent, ReadsVendorAndProductFromTheHidIdLine) {
    uint16_t vendor = 0, product = 0;
    EXPECT_TRUE(
        platform::ParseUeventHidId("DRIVER=x\nHID_ID=0003:00001d5b:00000043\n", vendor, product));
    EXPECT_EQ(vendor, 0x1D5B);
    EXPECT_EQ(product, 0x0043);
    for (const char* bad :
         {"HID_NAME=pad\n", "HID_ID=0003:00001D5B\n", "HID_ID=0003:00001D5G:0043\n",
          "HID_ID=0003:00011D5B:00000043\n", "HID_ID=0003::00000043\n"}) {
        EXPECT_FALSE(platform::ParseUeventHidId(bad, vendor, product)) << bad;
    }
}

}  // namespace

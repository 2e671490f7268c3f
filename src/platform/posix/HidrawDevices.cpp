#include "platform/posix/HidrawDevices.h"

#include <fcntl.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "platform/HidReportDescriptor.h"
#include "platform/posix/HidrawReportIo.h"

namespace platform {
namespace {

constexpr const char* kNodePrefix = "hidraw";

// The N of "hidrawN", or -1 for any other name.
long NodeNumber(const std::string& name) {
    const std::string prefix = kNodePrefix;
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) {
        return -1;
    }
    long number = -1;
    const char* first = name.data() + prefix.size();
    const char* last = name.data() + name.size();
    const auto [end, error] = std::from_chars(first, last, number);
    return error == std::errc{} && end == last ? number : -1;
}

bool ReadWholeFile(const std::filesystem::path& path, std::string& contents) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return false;
    }
    contents.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return !file.bad();
}

bool ParseHexField(const std::string& text, uint32_t& value) {
    const char* last = text.data() + text.size();
    const auto [end, error] = std::from_chars(text.data(), last, value, 16);
    return !text.empty() && error == std::errc{} && end == last;
}

class HidrawDevices final : public HidDevices {
public:
    HidrawDevices(std::string classDirectory, std::string deviceDirectory)
        : classDirectory(std::move(classDirectory)), deviceDirectory(std::move(deviceDirectory)) {}

    std::vector<HidInterface> EnumerateInterfaces() override {
        std::vector<HidInterface> interfaces;
        for (const std::string& name : NodeNames()) {
            HidInterface found;
            if (Describe(name, found)) {
                interfaces.push_back(std::move(found));
            }
        }
        return interfaces;
    }

    std::unique_ptr<HidDevice> OpenDevice(const std::string& path) override {
        const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
        return fd < 0 ? nullptr : MakeHidrawDevice(fd);
    }

    std::unique_ptr<HidReportReader> OpenReader(const std::string& path) override {
        HidDescriptorLayout layout;
        if (!ReadLayout(std::filesystem::path(path).filename().string(), layout)) {
            return nullptr;
        }
        const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) {
            return nullptr;
        }
        return MakeHidrawReader(fd, layout.numberedReports,
                                FirstInputCollection(layout).inputReportLength);
    }

private:
    // The hidrawN entries of the class directory, in number order.
    std::vector<std::string> NodeNames() const {
        std::vector<std::pair<long, std::string>> numbered;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(classDirectory, error)) {
            std::string name = entry.path().filename().string();
            const long number = NodeNumber(name);
            if (number >= 0) {
                numbered.emplace_back(number, std::move(name));
            }
        }
        std::sort(numbered.begin(), numbered.end());
        std::vector<std::string> names;
        for (auto& [number, name] : numbered) {
            names.push_back(std::move(name));
        }
        return names;
    }

    std::filesystem::path DeviceAttribute(const std::string& name, const char* attribute) const {
        return std::filesystem::path(classDirectory) / name / "device" / attribute;
    }

    bool ReadLayout(const std::string& name, HidDescriptorLayout& layout) const {
        std::string descriptor;
        if (!ReadWholeFile(DeviceAttribute(name, "report_descriptor"), descriptor)) {
            return false;
        }
        layout = ParseHidReportDescriptor(reinterpret_cast<const uint8_t*>(descriptor.data()),
                                          descriptor.size());
        return true;
    }

    bool Describe(const std::string& name, HidInterface& found) const {
        std::string uevent;
        HidDescriptorLayout layout;
        if (!ReadWholeFile(DeviceAttribute(name, "uevent"), uevent) ||
            !ParseUeventHidId(uevent, found.vendorId, found.productId) ||
            !ReadLayout(name, layout)) {
            return false;
        }
        const HidCollectionLengths lengths = FirstInputCollection(layout);
        found.path = (std::filesystem::path(deviceDirectory) / name).string();
        found.inputReportLength = lengths.inputReportLength;
        found.outputReportLength = lengths.outputReportLength;
        return true;
    }

    const std::string classDirectory;
    const std::string deviceDirectory;
};

}  // namespace

bool ParseUeventHidId(const std::string& uevent, uint16_t& vendorId, uint16_t& productId) {
    std::istringstream lines(uevent);
    std::string line;
    const std::string key = "HID_ID=";
    while (std::getline(lines, line)) {
        if (line.compare(0, key.size(), key) != 0) {
            continue;
        }
        // bus:vendor:product, each in hexadecimal
        std::istringstream fields(line.substr(key.size()));
        std::string bus, vendor, product;
        uint32_t busValue = 0, vendorValue = 0, productValue = 0;
        if (!std::getline(fields, bus, ':') || !std::getline(fields, vendor, ':') ||
            !std::getline(fields, product) || !ParseHexField(bus, busValue) ||
            !ParseHexField(vendor, vendorValue) || !ParseHexField(product, productValue) ||
            vendorValue > 0xFFFF || productValue > 0xFFFF) {
            return false;
        }
        vendorId = static_cast<uint16_t>(vendorValue);
        productId = static_cast<uint16_t>(productValue);
        return true;
    }
    return false;
}

std::unique_ptr<HidDevices> CreateHidrawDevices(const std::string& classDirectory,
                                                const std::string& deviceDirectory) {
    return std::make_unique<HidrawDevices>(classDirectory, deviceDirectory);
}

std::unique_ptr<HidDevices> CreatePlatformHidDevices() {
    return CreateHidrawDevices("/sys/class/hidraw", "/dev");
}

}  // namespace platform

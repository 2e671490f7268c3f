#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// One present HID device interface. Report lengths are in the Windows layout: the report id
// byte included, for the interface's first top-level collection with input reports.
struct HidInterface {
    std::string path;  // what OpenDevice and OpenReader take
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    int32_t inputReportLength = 0;
    int32_t outputReportLength = 0;
};

// An open device for writing output reports.
class HidDevice {
public:
    virtual ~HidDevice() = default;
    // Sends one report, report id byte first (0 for a device without numbered reports); true
    // when the whole report went out.
    virtual bool WriteReport(const uint8_t* report, int32_t length) = 0;
};

enum class HidReadStatus {
    kReport,     // one input report arrived
    kCancelled,  // Cancel was called
    kGone,       // the device went away
    kFailed,     // the read completed with an error
};

// How the system's read call left a read before any wait.
enum class HidReadStart {
    kCompleted,  // a report was waiting: the call itself completed the read
    kPending,    // the read was left pending (also when a Cancel ends it before it begins)
    kFailed,     // the call itself failed: nothing is pending, nothing is waited for
};

struct HidReadResult {
    HidReadStatus status = HidReadStatus::kFailed;
    HidReadStart start = HidReadStart::kPending;
    // The byte count the read call itself reported: the report's length when it completed the
    // read, 0 otherwise.
    int32_t startBytes = 0;
    // Bytes that came from the device, the id byte included; 0 unless a report arrived.
    int32_t received = 0;
};

// The input reports the system keeps for a reader while it does not read; beyond them, the
// system drops reports.
struct HidInputBuffers {
    bool adjustable = false;    // whether a program can ask for more
    bool requestTaken = false;  // whether it took the request
    uint32_t error = 0;         // the system's error code when it refused the request
    int32_t held = 0;           // how many it keeps now; 0 when it does not say
};

// A device opened for reading input reports, one per read.
class HidReportReader {
public:
    virtual ~HidReportReader() = default;
    // Asks the system to keep `count` input reports for this reader.
    virtual HidInputBuffers RequestInputBuffers(int32_t count) {
        static_cast<void>(count);
        return {};
    }
    // Blocks until an input report arrives, the device goes away or Cancel is called. A report
    // is stored in the Windows layout: report id byte first (0 for a device without numbered
    // reports), zero-padded to the interface's input report length but never beyond capacity.
    virtual HidReadResult ReadReport(uint8_t* buffer, int32_t capacity) = 0;
    // Callable from any thread: ends a blocked ReadReport, and every later one, at once.
    virtual void Cancel() = 0;
};

// The system's HID devices: enumeration and report I/O.
class HidDevices {
public:
    virtual ~HidDevices() = default;
    // The present interfaces, in the system's enumeration order.
    virtual std::vector<HidInterface> EnumerateInterfaces() = 0;
    // Opens an interface for writing; nullptr when it cannot be opened.
    virtual std::unique_ptr<HidDevice> OpenDevice(const std::string& path) = 0;
    // Opens a second handle on an interface for reading; nullptr when it cannot be opened.
    virtual std::unique_ptr<HidReportReader> OpenReader(const std::string& path) = 0;
};

// The process-wide backend: the system's devices unless a test has put others in their place.
HidDevices& SystemHidDevices();

// Puts a backend in place of the system's for the whole process (nullptr restores the
// system's) and returns the one it replaces. Only while no transport uses HID devices.
HidDevices* SetHidDevicesForTesting(HidDevices* replacement);

// The platform's own backend, created once by SystemHidDevices.
std::unique_ptr<HidDevices> CreatePlatformHidDevices();

}  // namespace platform

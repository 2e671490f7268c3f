#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

namespace platform {

// Receives each block of bytes the watch thread reads, on the watch thread.
using ReceivedBytesHandler = std::function<void(const uint8_t* bytes, int32_t length)>;
// Told once, on the watch thread, that the line has gone (an adapter pulled out, a hung-up
// terminal): the watch thread reads nothing more and only waits for the close.
using LineGoneHandler = std::function<void()>;

inline constexpr int32_t kPortNameSize = 32;     // the full port name with its terminating NUL
inline constexpr int32_t kPortPathSize = 128;    // the name prefix with its terminating NUL
inline constexpr int32_t kWatchReadBlock = 512;  // the most the watch thread reads at a time

// Forms the Windows name of port `port` behind `prefix`: "COM9" below 10, "\\.\COM10" (the
// device namespace) from 10 up. False, with an empty name, when it does not fit kPortNameSize.
bool FormPortName(const char* prefix, int32_t port, char (&name)[kPortNameSize]);

// The path this platform opens for a formed port name.
std::string DevicePathOfPortName(const std::string& portName);

// The modem status lines of the port a SerialPort holds open: the system's, unless a test has
// put a simulated line in their place (a pseudo-terminal has no modem lines to turn off).
class ModemStatus {
public:
    virtual ~ModemStatus() = default;
    // 1 when the open port's DSR line is on.
    virtual int32_t IsDsrOn() = 0;
};

// Puts a line in place of the system's modem status for the whole process (nullptr restores
// the system's) and returns the one it replaces. Only while no port is open.
ModemStatus* SetModemStatusForTesting(ModemStatus* replacement);

// A serial port opened exclusively at the pad's line settings (the configured baud rate, 8 data
// bits, odd parity checked, 1 stop bit, no flow control, DTR and RTS on), with a watch thread at
// the highest priority the process may set that hands every block it receives to a handler.
class SerialPort {
public:
    SerialPort() = default;
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // The settings are read by the next OpenPort only.
    void SetComPort(int32_t port) { comPort = port; }
    int32_t GetComPort() const { return comPort; }
    void SetBaudRate(int32_t rate) { baudRate = rate; }
    // Copies the prefix, cut to kPortPathSize - 1 characters.
    void SetPortPath(const char* path);
    const char* GetPortPath() const { return portPath; }

    // Opens the port, configures it, starts the watch thread and raises DTR. 1 on success; 0
    // leaves the port closed. A port that is open already is left as it is and 0 returned.
    int32_t OpenPort(ReceivedBytesHandler owner, LineGoneHandler lineGone = nullptr);
    // Stops and joins the watch thread, drops DTR, purges both directions and closes the port.
    // Does nothing on a closed port.
    void ClosePort();
    // Writes the whole block; 1 when it went out, 0 on failure or while closed.
    int32_t WritePort(const uint8_t* buffer, int32_t length);
    // 1 when the DSR line is on. A line without modem signals (a pseudo-terminal) reports on;
    // a closed port reports off.
    int32_t IsDsrOn();
    bool IsOpen() const { return portOpen.load(); }

private:
    enum class LineWait {
        kReceived,  // bytes wait to be read
        kNothing,   // woken, or the wait ended without bytes
        kGone,      // the line has failed for good
    };

    // The watch thread: waits for received bytes and drains them to the handler until close.
    void CommWatchThread();
    void DrainReceivedBytes();

    // The platform's part.
    bool OpenDevice(const char* portName);
    bool ConfigurePort();
    void RaiseModemLines();
    // The DSR line of the open port, as IsDsrOn tells it.
    int32_t ReadDsrLine();
    // Blocks until received bytes wait to be read, until woken, or until the line fails; never
    // spins on a line whose waits fail.
    LineWait WaitForReceivedBytes();
    // Blocks until woken by the close.
    void AwaitWake();
    void WakeWatchThread();
    // Reads what has arrived, at most `maximum` bytes, without waiting for more; 0 when
    // nothing waits or the read failed.
    int32_t ReadPort(uint8_t* buffer, int32_t maximum);
    // Drops DTR, purges both directions and closes the port.
    void ReleaseDevice();

    intptr_t portHandle = -1;
    intptr_t wakeHandle = -1;  // wakes the watch thread's wait at close
    // The events of overlapped I/O, where the platform has it: the watch thread's wait for
    // received bytes, reads and writes, each with its own.
    intptr_t waitEvent = -1;
    intptr_t readEvent = -1;
    intptr_t writeEvent = -1;
    int32_t comPort = 2;
    int32_t baudRate = 19200;
    char portPath[kPortPathSize] = "COM";
    std::atomic<bool> portOpen{false};
    std::thread watchThread;
    // Non-zero while the watch thread lives; the thread clears it as its last act.
    std::atomic<uint32_t> watchThreadId{0};
    ReceivedBytesHandler owner;
    LineGoneHandler lineGone;
};

}  // namespace platform

#pragma once

#include <cstddef>
#include <cstdint>

namespace padsim {

enum class IoStatus { kOk, kWouldBlock, kClosed };

// A non-blocking descriptor that carries one connection to the host. Owns the descriptor
// unless told otherwise.
class Channel {
public:
    Channel(int fd, bool owned, bool receives, size_t writeUnit);
    ~Channel();
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    int fd() const { return fd_; }
    // Whether the host sends anything on it (a FIFO carries only the pad's packets).
    bool receives() const { return receives_; }
    // Reads what is there. kClosed when the host has gone.
    IoStatus Receive(uint8_t* buffer, size_t capacity, size_t& received);
    // Writes as much as the descriptor takes now. With a write unit, one write() per unit and
    // never a part of one (each packet arrives whole, as a driver delivers it).
    IoStatus Send(const uint8_t* data, size_t length, size_t& sent);

private:
    IoStatus SendUnits(const uint8_t* data, size_t length, size_t& sent);

    int fd_;
    bool owned_;
    bool receives_;
    bool isSocket_;
    size_t writeUnit_;
};

}  // namespace padsim

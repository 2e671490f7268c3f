#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

// Ends the run as a failure that the fuzzer records, with the property that did not hold.
inline void Require(bool holds, const char* property) {
    if (!holds) {
        std::fprintf(stderr, "property broken: %s\n", property);
        std::abort();
    }
}

// The fuzzer's bytes, taken from the front; past the end every read yields zeros.
class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : data(data), size(size) {}

    uint8_t Byte() { return position < size ? data[position++] : 0; }
    uint16_t Word() {
        const uint8_t low = Byte();
        return static_cast<uint16_t>(low | Byte() << 8);
    }
    // Up to count bytes, fewer at the end.
    std::string_view Take(size_t count) {
        const size_t n = count < Left() ? count : Left();
        const std::string_view taken(reinterpret_cast<const char*>(data + position), n);
        position += n;
        return taken;
    }
    std::string_view Rest() { return Take(Left()); }
    size_t Left() const { return size - position; }

private:
    const uint8_t* data;
    size_t size;
    size_t position = 0;
};

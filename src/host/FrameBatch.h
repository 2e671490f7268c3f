#pragma once

#include <array>
#include <cstddef>
#include <string_view>

// Frames gathered for one write to the browser: each frame whole, in the order appended.
class FrameBatch {
public:
    static constexpr size_t kCapacity = 32768;
    // The longest message a batch must always be able to take.
    static constexpr size_t kLongestMessage = 60;

    // Whether one more message of up to kLongestMessage bytes fits.
    bool HasRoom() const { return used + 4 + kLongestMessage <= kCapacity; }
    // Appends the frame that carries text (at most kLongestMessage bytes).
    void Append(std::string_view text);
    bool Empty() const { return used == 0; }
    std::string_view Bytes() const { return {bytes.data(), used}; }
    void Clear() { used = 0; }

private:
    std::array<char, kCapacity> bytes;
    size_t used = 0;
};

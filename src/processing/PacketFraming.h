#pragma once

#include <cstdint>

class ProcessSerialData;
class Tablet;

// Frames the pad's byte stream into 5-byte packets, one byte per call: a sync byte (bit 7 set),
// then four data bytes. A completed packet goes to the Tablet's decoder, a lone byte to its
// byteQueue. It has no thread and no clock of its own: the input loop, or a test, hands it each
// byte with the clock reading its point carries, and tells it how long the stream was silent.
class PacketFraming {
public:
    // Silence after which a held sync byte is a lone byte.
    static constexpr uint32_t kGapMs = 20;

    void TakeByte(Tablet& tablet, ProcessSerialData& controller, uint8_t byte, uint32_t now);
    // After a wait in which no byte came for silentMs: a held sync byte followed by more than
    // kGapMs of silence was a lone byte. A packet partly collected survives any silence.
    void AfterSilence(Tablet& tablet, uint32_t silentMs);

private:
    uint8_t heldByte = 0;
    uint8_t packetBytes[5] = {};
    int32_t packetIndex = 0;
};

#pragma once

#include <cstdint>

// The byte ring between a transport's reader thread (the producer) and the input-processing
// thread (the consumer).
class CircularBuffer {
public:
    virtual ~CircularBuffer() = default;
    // Empties the ring, clears its data signal and a release. Called only while no other thread
    // uses it.
    virtual void ResetRing() = 0;
    // Stores a whole block, in order: a block that does not fit below the high-water mark waits
    // for the reader to make room, part by part, until ReleaseWriter. Returns the count held.
    virtual int32_t PutBytes(const uint8_t* bytes, int32_t length) = 0;
    // Ends a PutBytes that waits for room, and every later wait, until ResetRing: what does not
    // fit then is dropped, as the writer is being stopped.
    virtual void ReleaseWriter() = 0;
    virtual void PutByte(uint8_t byte) = 0;
    // Takes one byte; only after GetCount or WaitForData returned a count above 0.
    virtual uint8_t GetByte() = 0;
    virtual int32_t GetCount() = 0;
    // Returns the count at once when bytes are held, else blocks until the data signal is set
    // and returns the count then (0 when the wake came from WakeReader).
    virtual int32_t WaitForData() = 0;
    // Sets the data signal without adding data, so that a blocked WaitForData returns.
    virtual void WakeReader() = 0;
    // Takes up to maximum bytes, oldest first, as that many GetByte calls would; returns how
    // many it took.
    virtual int32_t GetBytes(uint8_t* bytes, int32_t maximum) = 0;
};

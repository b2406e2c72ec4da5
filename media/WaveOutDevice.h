#pragma once
// A sound output that plays queued buffers in order and hands each back when it has been
// played. Implementations: PortAudio (the sound card) and a null device paced by a clock.
#include <cstdint>
#include <functional>
#include <memory>

#include "media/WaveFormat.h"

namespace tavrel {

// One buffer handed to a device: the bytes stay owned by the caller until the device hands
// the header back (or is reset or closed).
struct WaveHeader {
    const uint8_t* data = nullptr;
    uint32_t length = 0;  // bytes, a whole number of blocks
    uint64_t tag = 0;     // the caller's own mark, untouched by the device
};

struct WaveOutEvents {
    // A buffer has been played. Called on the device's own thread; must not block.
    std::function<void(WaveHeader*)> done;
    // The device went away while open (a card unplugged, a server gone). Called once, on the
    // device's own thread; the device plays nothing more and hands nothing more back.
    std::function<void()> lost;
};

class CWaveOutDevice {
public:
    virtual ~CWaveOutDevice() = default;

    // Opens the device for the format; it starts running (paused only after Pause).
    virtual bool Open(const WaveFormat& format, WaveOutEvents events) = 0;
    // Queues a buffer after those already queued.
    virtual bool Write(WaveHeader* header) = 0;
    // Drops every queued buffer without handing any back, and sets the played count to 0.
    // When it returns, no event for a dropped buffer is running or will run.
    virtual void Reset() = 0;
    virtual void Pause() = 0;
    virtual void Restart() = 0;
    // Closes the device; as Reset, no event runs after it returns.
    virtual void Close() = 0;
    // Bytes played since Open or the last Reset: the position of what is heard now.
    virtual uint64_t PlayedBytes() const = 0;
};

// The sound card, and the null device when no card can be opened.
std::unique_ptr<CWaveOutDevice> MakeDefaultWaveOutDevice();

}  // namespace tavrel

#pragma once
// The sound card's default output through PortAudio. Buffers are copied out on PortAudio's own
// callback thread, which hands each back as soon as its last sample has gone to the card.
#include <cstdint>
#include <deque>
#include <mutex>

#include "media/WaveOutDevice.h"

struct PaStreamCallbackTimeInfo;

namespace tavrel {

class CPortAudioWaveOutDevice : public CWaveOutDevice {
public:
    CPortAudioWaveOutDevice() = default;
    ~CPortAudioWaveOutDevice() override;

    bool Open(const WaveFormat& format, WaveOutEvents events) override;
    bool Write(WaveHeader* header) override;
    void Reset() override;
    void Pause() override;
    void Restart() override;
    void Close() override;
    uint64_t PlayedBytes() const override;

private:
    static int Callback(const void* input, void* output, unsigned long frames,
                        const PaStreamCallbackTimeInfo* time, unsigned long flags, void* self);
    static void Finished(void* self);
    void Render(uint8_t* output, unsigned long frames);

    mutable std::mutex mutex_;
    void* stream_ = nullptr;  // PaStream
    WaveFormat format_;
    WaveOutEvents events_;
    std::deque<WaveHeader*> queue_;
    uint32_t headOffset_ = 0;  // bytes of the first queued buffer already sent to the card
    uint64_t played_ = 0;
    uint64_t latencyBytes_ = 0;
    bool paused_ = false;
    bool closing_ = false;
    bool lost_ = false;
};

}  // namespace tavrel

#pragma once
// The sound card's default output through PortAudio. Buffers are copied out on PortAudio's own
// callback thread, which hands each back as soon as its last sample has gone to the card.
#include <cstdint>
#include <deque>
#include <mutex>

#include "media/WaveOutDevice.h"

struct PaStreamCallbackTimeInfo;

namespace tavrel {

// The card's progress as the last callback that sent sound left it: the bytes sent before it
// and with it, when (steady clock, microseconds) the first of its samples is heard, and what was
// heard as it ran (after a pause or an underrun, silence plays until heardAt, not the sound).
struct CardMark {
    uint64_t before = 0;
    uint64_t after = 0;
    int64_t heardAt = 0;
    uint64_t heard = 0;
};

// The bytes heard at `now`: counted sample by sample from the mark, so that the position moves
// smoothly between callbacks instead of jumping a whole callback ahead of what is heard; never
// less than was heard at the callback, nor more than has been sent.
uint64_t HeardBytes(const CardMark& mark, int64_t now, const WaveFormat& format);

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
    void Render(uint8_t* output, unsigned long frames, const PaStreamCallbackTimeInfo* time);

    mutable std::mutex mutex_;
    void* stream_ = nullptr;  // PaStream
    WaveFormat format_;
    WaveOutEvents events_;
    std::deque<WaveHeader*> queue_;
    uint32_t headOffset_ = 0;  // bytes of the first queued buffer already sent to the card
    uint64_t played_ = 0;
    double latencySeconds_ = 0;  // the stream's reported output latency
    CardMark mark_;
    bool paused_ = false;
    bool closing_ = false;
    bool lost_ = false;
};

}  // namespace tavrel

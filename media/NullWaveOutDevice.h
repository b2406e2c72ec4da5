#pragma once
// A wave-output device without sound: it plays each buffer for exactly as long as its
// samples last, by a clock, and hands it back then. Used when no sound card can be opened
// (so the timeline keeps its sound clock) and in tests.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "media/WaveClock.h"
#include "media/WaveOutDevice.h"

namespace tavrel {

class CNullWaveOutDevice : public CWaveOutDevice {
public:
    explicit CNullWaveOutDevice(std::shared_ptr<const CWaveClock> clock = nullptr);
    ~CNullWaveOutDevice() override;

    bool Open(const WaveFormat& format, WaveOutEvents events) override;
    bool Write(WaveHeader* header) override;
    void Reset() override;
    void Pause() override;
    void Restart() override;
    void Close() override;
    uint64_t PlayedBytes() const override;

    // Behaves as a card that is unplugged: reports the loss and plays nothing more.
    void Disappear();
    // Makes the next Open fail, as with a card that is busy.
    void RefuseOpen(bool refuse);
    bool IsOpen() const;
    // Open and not paused: the clock counts for the queued sound.
    bool IsRunning() const;

private:
    void Run();
    int64_t Duration(uint32_t bytes) const;
    uint64_t QueuedProgress(int64_t now) const;

    std::shared_ptr<const CWaveClock> clock_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    WaveFormat format_;
    WaveOutEvents events_;
    std::deque<WaveHeader*> queue_;
    bool open_ = false;
    bool paused_ = false;
    bool lost_ = false;
    bool disappear_ = false;
    bool refuseOpen_ = false;
    bool quit_ = false;
    int64_t headStart_ = 0;  // clock time at which the first queued buffer began to play
    int64_t pausedAt_ = 0;
    uint64_t played_ = 0;
    std::thread thread_;
};

}  // namespace tavrel

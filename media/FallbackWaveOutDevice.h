#pragma once
// A wave-output device that opens its first choice, and its second when the first cannot be
// opened: the sound card, else the null device, so that playback keeps its clock without a card.
#include <atomic>
#include <memory>

#include "media/WaveOutDevice.h"

namespace tavrel {

class CFallbackWaveOutDevice : public CWaveOutDevice {
public:
    CFallbackWaveOutDevice(std::unique_ptr<CWaveOutDevice> first,
                           std::unique_ptr<CWaveOutDevice> second);

    bool Open(const WaveFormat& format, WaveOutEvents events) override;
    bool Write(WaveHeader* header) override;
    void Reset() override;
    void Pause() override;
    void Restart() override;
    void Close() override;
    uint64_t PlayedBytes() const override;

    // The device that is open now, or null.
    CWaveOutDevice* Active() const { return active_.load(); }

private:
    std::unique_ptr<CWaveOutDevice> first_;
    std::unique_ptr<CWaveOutDevice> second_;
    std::atomic<CWaveOutDevice*> active_{nullptr};
};

}  // namespace tavrel

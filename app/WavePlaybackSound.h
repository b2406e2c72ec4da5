#pragma once
// The timeline's sound player over the streamed WAV player and the default wave-output device
// (the sound card, or a silent device paced by the clock when none opens).
#include <memory>

#include "media/RWavePlayback.h"
#include "timeline/ui/SoundPlayback.h"

namespace tavrel {

class CWavePlaybackSound : public CSoundPlayback {
public:
    CWavePlaybackSound();
    explicit CWavePlaybackSound(std::unique_ptr<CWaveOutDevice> device);

    bool Load(const std::string& path) override;
    void Unload() override;
    bool IsLoaded() const override;
    void PlayFrom(int milliseconds) override;
    void Stop() override;
    void Seek(int milliseconds) override;
    int PositionMs() const override;
    bool IsHeard() const override;
    void ScrubFrame(int frame) override;

private:
    CRWavePlayback player_;
};

}  // namespace tavrel

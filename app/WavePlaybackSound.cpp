#include "app/WavePlaybackSound.h"

#include <algorithm>

namespace tavrel {

CWavePlaybackSound::CWavePlaybackSound() = default;

CWavePlaybackSound::CWavePlaybackSound(std::unique_ptr<CWaveOutDevice> device)
    : player_(std::move(device)) {}

bool CWavePlaybackSound::Load(const std::string& path) {
    return player_.Load(path);
}

void CWavePlaybackSound::Unload() {
    player_.Clear();
}

bool CWavePlaybackSound::IsLoaded() const {
    return player_.HasData();
}

void CWavePlaybackSound::PlayFrom(int milliseconds) {
    if (!player_.HasData()) return;
    player_.Stop();
    player_.SetPosition(uint32_t(std::max(milliseconds, 0)));
    player_.Play();
}

void CWavePlaybackSound::Stop() {
    player_.Stop();
}

void CWavePlaybackSound::Seek(int milliseconds) {
    player_.SetPosition(uint32_t(std::max(milliseconds, 0)));
}

int CWavePlaybackSound::PositionMs() const {
    return int(player_.GetPosition());
}

bool CWavePlaybackSound::IsHeard() const {
    return player_.IsPlaying() && !player_.IsScrubbing();
}

void CWavePlaybackSound::ScrubFrame(int frame) {
    if (player_.HasData()) player_.Scrub(frame);
}

}  // namespace tavrel

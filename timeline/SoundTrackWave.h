#pragma once
// The WAV file laid under the timeline, as the sound track draws it: its length in frames and a
// loudness per frame. The file stays mapped read-only until the sound is removed.
#include <cstdint>
#include <string>
#include <vector>

namespace tavrel {

class CSoundTrackWave {
public:
    CSoundTrackWave() = default;
    ~CSoundTrackWave() { Unload(); }
    CSoundTrackWave(const CSoundTrackWave&) = delete;
    CSoundTrackWave& operator=(const CSoundTrackWave&) = delete;

    // 0 on success, else the message to show: not a RIFF/WAVE file, or unreadable. A file whose
    // format is not PCM loads without sample data (HasSound stays false).
    int Load(const std::string& path);
    void Unload();

    bool IsLoaded() const { return base_ != nullptr; }
    bool HasSound() const { return dataSize_ > 0; }
    // Timeline frames the sound covers (60 a second).
    int FrameCount() const { return int(levels_.size()); }
    double Seconds() const { return seconds_; }
    // Loudness of a frame's samples, 0 to 1 (the peak of either channel).
    float LevelAt(int frame) const;

private:
    bool ReadChunks();
    void MeasureLevels();

    const uint8_t* base_ = nullptr;
    size_t size_ = 0;
    uint16_t formatTag_ = 0, channels_ = 0, blockAlign_ = 0, bitsPerSample_ = 0;
    uint32_t sampleRate_ = 0;
    const uint8_t* data_ = nullptr;
    size_t dataSize_ = 0;
    double seconds_ = 0.0;
    std::vector<float> levels_;
};

}  // namespace tavrel

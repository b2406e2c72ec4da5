#pragma once
// The WAV file laid under the timeline, as the sound track draws it: its length in frames and
// a loudness per frame. The file is read by the program's one WAV reader.
#include <string>
#include <vector>

#include "media/RWave.h"

namespace tavrel {

class CSoundLevels {
public:
    // 0 on success, else the message to show: not a RIFF/WAVE file, or not readable as sound.
    // On failure nothing stays loaded.
    int Load(const std::string& path);
    void Unload();

    bool IsLoaded() const { return wave_.HasData(); }
    // Timeline frames the sound covers (60 a second).
    int FrameCount() const { return int(levels_.size()); }
    double Seconds() const { return seconds_; }
    // Loudness of a frame's samples, 0 to 1 (the peak of every channel).
    float LevelAt(int frame) const;

private:
    void MeasureLevels();

    CRWave wave_;
    double seconds_ = 0.0;
    std::vector<float> levels_;
};

}  // namespace tavrel

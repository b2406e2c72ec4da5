#pragma once
// The samples of one WAV file held in memory, with its format record.
#include <cstdint>
#include <memory>
#include <string>

#include "media/WaveFormat.h"

namespace tavrel {

class CRWave {
public:
    CRWave() = default;
    virtual ~CRWave() = default;
    CRWave(const CRWave&) = delete;
    CRWave& operator=(const CRWave&) = delete;

    // Reads a WAV file (PCM of 8, 16, 24 or 32 bits, 32-bit float, plain or extensible, 8000 to
    // 96000 samples per second). An empty path reloads the stored file name. On failure the
    // reason goes to the debug output and the previous content stays as it was.
    virtual bool LoadWaveFile(const std::string& path = {});

    bool HasData() const { return format_ && data_ && dataSize_ != 0; }
    virtual void Clear();

    const std::string& FileName() const { return fileName_; }
    // Null when nothing is loaded.
    const WaveFormat* Format() const { return format_.get(); }
    uint32_t DataSize() const { return dataSize_; }
    const uint8_t* Data() const { return data_.get(); }
    // Length of the sound in milliseconds; 0 without data.
    uint32_t LengthMilliseconds() const;

private:
    std::string fileName_;
    std::unique_ptr<WaveFormat> format_;
    uint32_t dataSize_ = 0;
    std::unique_ptr<uint8_t[]> data_;
};

}  // namespace tavrel

#pragma once
// The operations the timeline needs from a sound player; the program plugs its wave player in,
// and a silent one stands in when there is none.
#include <string>

namespace tavrel {

class CSoundPlayback {
public:
    virtual ~CSoundPlayback() = default;
    virtual bool Load(const std::string& path) = 0;
    virtual void Unload() = 0;
    virtual bool IsLoaded() const = 0;
    virtual void PlayFrom(int milliseconds) = 0;
    virtual void Stop() = 0;
    virtual void Seek(int milliseconds) = 0;
    virtual int PositionMs() const = 0;
    // Whether a device plays the sound now, so that PositionMs is the point being heard (its
    // latency counted): the picture keeps to it.
    virtual bool IsHeard() const = 0;
    // Plays the sound of one timeline frame (1/60 s), for scrubbing.
    virtual void ScrubFrame(int frame) = 0;
};

// Keeps the position and plays nothing.
class CNullSoundPlayback : public CSoundPlayback {
public:
    bool Load(const std::string& path) override {
        loaded_ = !path.empty();
        return loaded_;
    }
    void Unload() override { loaded_ = false, playing_ = false; }
    bool IsLoaded() const override { return loaded_; }
    void PlayFrom(int milliseconds) override { position_ = milliseconds, playing_ = loaded_; }
    void Stop() override { playing_ = false; }
    void Seek(int milliseconds) override { position_ = milliseconds; }
    int PositionMs() const override { return position_; }
    bool IsHeard() const override { return false; }
    void ScrubFrame(int) override {}
    bool IsPlaying() const { return playing_; }

private:
    bool loaded_ = false;
    bool playing_ = false;
    int position_ = 0;
};

}  // namespace tavrel

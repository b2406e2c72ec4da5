#include "media/NullWaveOutDevice.h"

#include <algorithm>

namespace tavrel {

CNullWaveOutDevice::CNullWaveOutDevice(std::shared_ptr<const CWaveClock> clock)
    : clock_(clock ? std::move(clock) : std::make_shared<CWaveClock>()) {
    thread_ = std::thread([this] { Run(); });
}

CNullWaveOutDevice::~CNullWaveOutDevice() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

bool CNullWaveOutDevice::Open(const WaveFormat& format, WaveOutEvents events) {
    std::lock_guard lock(mutex_);
    if (open_ || refuseOpen_ || format.blockAlign == 0 || format.samplesPerSec == 0) return false;
    format_ = format;
    events_ = std::move(events);
    queue_.clear();
    open_ = true;
    paused_ = lost_ = disappear_ = false;
    played_ = 0;
    return true;
}

bool CNullWaveOutDevice::Write(WaveHeader* header) {
    std::lock_guard lock(mutex_);
    if (!open_ || lost_ || !header) return false;
    // After an underrun the buffer starts when it arrives, not when the last one ended.
    if (queue_.empty()) headStart_ = paused_ ? pausedAt_ : clock_->NowMicroseconds();
    queue_.push_back(header);
    wake_.notify_all();
    return true;
}

void CNullWaveOutDevice::Reset() {
    std::lock_guard lock(mutex_);
    queue_.clear();
    played_ = 0;
}

void CNullWaveOutDevice::Pause() {
    std::lock_guard lock(mutex_);
    if (paused_) return;
    paused_ = true;
    pausedAt_ = clock_->NowMicroseconds();
}

void CNullWaveOutDevice::Restart() {
    std::lock_guard lock(mutex_);
    if (!paused_) return;
    paused_ = false;
    headStart_ += clock_->NowMicroseconds() - pausedAt_;
    wake_.notify_all();
}

void CNullWaveOutDevice::Close() {
    std::lock_guard lock(mutex_);
    open_ = false;
    queue_.clear();
    played_ = 0;
    events_ = {};
}

uint64_t CNullWaveOutDevice::PlayedBytes() const {
    std::lock_guard lock(mutex_);
    return played_ + QueuedProgress(paused_ ? pausedAt_ : clock_->NowMicroseconds());
}

void CNullWaveOutDevice::Disappear() {
    std::lock_guard lock(mutex_);
    disappear_ = true;
    wake_.notify_all();
}

void CNullWaveOutDevice::RefuseOpen(bool refuse) {
    std::lock_guard lock(mutex_);
    refuseOpen_ = refuse;
}

bool CNullWaveOutDevice::IsOpen() const {
    std::lock_guard lock(mutex_);
    return open_;
}

bool CNullWaveOutDevice::IsRunning() const {
    std::lock_guard lock(mutex_);
    return open_ && !paused_;
}

int64_t CNullWaveOutDevice::Duration(uint32_t bytes) const {
    const int64_t frames = bytes / format_.blockAlign;
    return frames * 1000000 / format_.samplesPerSec;
}

uint64_t CNullWaveOutDevice::QueuedProgress(int64_t now) const {
    if (!open_ || lost_ || now <= headStart_) return 0;
    // Counted over the whole queue by the clock, so the position is exact even when the
    // pacing thread has not yet handed back a buffer that has run out.
    uint64_t frames = uint64_t(now - headStart_) * format_.samplesPerSec / 1000000;
    uint64_t bytes = 0;
    for (const WaveHeader* header : queue_) {
        const uint64_t length = header->length / format_.blockAlign;
        const uint64_t taken = std::min(frames, length);
        bytes += taken * format_.blockAlign;
        frames -= taken;
        if (frames == 0) break;
    }
    return bytes;
}

void CNullWaveOutDevice::Run() {
    std::unique_lock lock(mutex_);
    while (!quit_) {
        if (open_ && disappear_ && !lost_) {
            lost_ = true;
            queue_.clear();
            if (events_.lost) events_.lost();
            continue;
        }
        if (!open_ || lost_ || paused_ || queue_.empty()) {
            wake_.wait(lock);
            continue;
        }
        WaveHeader* head = queue_.front();
        const int64_t end = headStart_ + Duration(head->length);
        if (clock_->NowMicroseconds() < end) {
            clock_->WaitUntil(wake_, lock, end);
            continue;
        }
        queue_.pop_front();
        played_ += head->length;
        headStart_ = end;
        if (events_.done) events_.done(head);
    }
}

}  // namespace tavrel

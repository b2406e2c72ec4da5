#pragma once
// The clock that paces the null wave-output device: the steady clock of the machine, or a
// clock a test moves by hand so that a minute of sound needs no minute of waiting.
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace tavrel {

class CWaveClock {
public:
    virtual ~CWaveClock() = default;
    virtual int64_t NowMicroseconds() const;
    // Waits on the condition until the clock reaches the deadline or the condition is
    // notified; may return early, so callers check again.
    virtual void WaitUntil(std::condition_variable& condition, std::unique_lock<std::mutex>& lock,
                           int64_t deadlineMicroseconds) const;
};

}  // namespace tavrel

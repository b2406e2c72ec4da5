#include "media/WaveClock.h"

#include <chrono>

namespace tavrel {

int64_t CWaveClock::NowMicroseconds() const {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

void CWaveClock::WaitUntil(std::condition_variable& condition, std::unique_lock<std::mutex>& lock,
                           int64_t deadlineMicroseconds) const {
    using namespace std::chrono;
    condition.wait_until(lock, steady_clock::time_point(microseconds(deadlineMicroseconds)));
}

}  // namespace tavrel

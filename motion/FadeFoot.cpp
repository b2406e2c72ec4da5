#include "motion/FadeFoot.h"

#include <algorithm>
#include <cmath>

namespace tavrel {

rkVector AnkleOf(const FadeFoot& foot) {
    return Lerp(foot.posed, foot.lock.target, std::clamp(foot.lock.weight, 0.0f, 1.0f));
}

float WeightWithinStep(const FadeFoot& foot, const rkVector& from, float step) {
    const float want = std::clamp(foot.lock.weight, 0.0f, 1.0f);
    // The ankle at weight w is e + w d from `from`; it lies within `step` where
    // (d.d) w^2 + 2 (e.d) w + e.e - step^2 <= 0.
    const rkVector d = foot.lock.target - foot.posed, e = foot.posed - from;
    const float dd = Dot(d, d), ed = Dot(e, d), ee = Dot(e, e);
    if (!(dd > 1e-12f) || !std::isfinite(dd + ed + ee)) return want;
    const float disc = ed * ed - dd * (ee - step * step);
    const float nearest = std::clamp(-ed / dd, 0.0f, 1.0f);
    if (disc < 0.0f) return nearest;
    const float root = std::sqrt(disc);
    const float low = std::max((-ed - root) / dd, 0.0f), high = std::min((-ed + root) / dd, 1.0f);
    return low <= high ? std::clamp(want, low, high) : nearest;
}

void LimitLockSteps(std::span<FadeFoot> frames, const rkVector& before, const rkVector& after,
                    float step) {
    if (!(step >= 0.0f) || !std::isfinite(step)) return;
    // Forward the ankle is held back until it can follow; backward it sets out early enough to
    // arrive where the frame after the blend has it.
    rkVector from = before;
    for (FadeFoot& foot : frames) {
        foot.lock.weight = WeightWithinStep(foot, from, step);
        from = AnkleOf(foot);
    }
    from = after;
    for (auto foot = frames.rbegin(); foot != frames.rend(); ++foot) {
        foot->lock.weight = WeightWithinStep(*foot, from, step);
        from = AnkleOf(*foot);
    }
}

}  // namespace tavrel

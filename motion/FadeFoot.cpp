#include "motion/FadeFoot.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace tavrel {
namespace {

// An interval of lock weights, empty when low > high.
struct Weights {
    float low = 0.0f, high = 1.0f;
    bool Empty() const { return !(low <= high); }
};

bool Finite(const rkVector& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// The weights whose ankle lies within `step` of `from` (the exact interval of a quadratic).
Weights WithinStepOf(const FadeFoot& foot, const rkVector& from, float step) {
    // The ankle at weight w is e + w d from `from`; it lies within `step` where
    // (d.d) w^2 + 2 (e.d) w + e.e - step^2 <= 0.
    const rkVector d = foot.lock.target - foot.posed, e = foot.posed - from;
    const float dd = rkDot(d, d), ed = rkDot(e, d), ee = rkDot(e, e);
    if (!std::isfinite(dd + ed + ee)) return {};
    if (!(dd > 1e-12f)) return ee <= step * step ? Weights{} : Weights{1.0f, 0.0f};
    const float disc = ed * ed - dd * (ee - step * step);
    if (disc < 0.0f) return {1.0f, 0.0f};
    const float root = std::sqrt(disc);
    return {std::max((-ed - root) / dd, 0.0f), std::min((-ed + root) / dd, 1.0f)};
}

float DistanceToSegment(const rkVector& p, const rkVector& a, const rkVector& b) {
    const rkVector ab = b - a;
    const float ll = rkDot(ab, ab);
    const float t = ll > 1e-12f ? std::clamp(rkDot(p - a, ab) / ll, 0.0f, 1.0f) : 0.0f;
    return rkLength(p - (a + ab * t));
}

// The weights whose ankle lies within `step` of some ankle the weights `from` give the frame
// before. The distance is convex in the weight: its least is found by golden section, then
// either end of the interval around it by bisection.
Weights WithinStepOfSpan(const FadeFoot& foot, const FadeFoot& before, const Weights& from,
                         float step) {
    const rkVector a = rkLerp(before.posed, before.lock.target, from.low);
    const rkVector b = rkLerp(before.posed, before.lock.target, from.high);
    const auto distance = [&](float w) {
        return DistanceToSegment(rkLerp(foot.posed, foot.lock.target, w), a, b);
    };
    constexpr float kGolden = 0.381966f;
    float lo = 0.0f, hi = 1.0f;
    for (int i = 0; i < 24; ++i) {
        const float m1 = lo + kGolden * (hi - lo), m2 = hi - kGolden * (hi - lo);
        if (distance(m1) <= distance(m2)) {
            hi = m2;
        } else {
            lo = m1;
        }
    }
    const float best = 0.5f * (lo + hi);
    if (!(distance(best) <= step)) return {1.0f, 0.0f};
    const auto edge = [&](float inside, float outside) {
        if (distance(outside) <= step) return outside;
        for (int i = 0; i < 24; ++i) {
            const float mid = 0.5f * (inside + outside);
            (distance(mid) <= step ? inside : outside) = mid;
        }
        return inside;
    };
    return {edge(best, 0.0f), edge(best, 1.0f)};
}

// The furthest the ankle may step from frame `from` to frame `to`: as far as the blended clips'
// feet step, or as the mix itself moves the foot there (a hold never moves a foot faster).
float StepBound(float step, const rkVector& from, const rkVector& to) {
    const float own = rkLength(to - from);
    return std::isfinite(own) ? std::max(step, own) : step;
}

// A held foot nearer than this (mm) to where its frame's own lock puts it is there.
constexpr float kSameSpot = 0.1f;
// How far (mm) a held foot settles a frame to the height its clip has it at, at most half as
// far as the clips step.
constexpr float kSettleStep = 2.0f;
// The most frames a step across may take: about the swing of a walk.
constexpr int kLongestStepAcross = 24;

// Which clip holds the foot planted in the mix at the frame, given which held it at the frame
// before: 1 A, 2 B, 0 none (it is lifted). A hold begins where the leading clip plants the foot
// fully, and goes on while the leader plants it at all and the other clip fully.
int HolderOf(const MixedFoot& frame, int before) {
    const bool bLeads = frame.shareOfB >= kFullHoldShare;
    const float lead = bLeads ? frame.b.planted : frame.a.planted;
    const float other = bLeads ? frame.a.planted : frame.b.planted;
    if (lead >= 1.0f) return bLeads ? 2 : 1;
    if (before && lead > 0.0f && other >= 1.0f) return bLeads ? 1 : 2;
    return 0;
}

const rkVector& AnkleIn(const MixedFoot& frame, int holder) {
    return holder == 2 ? frame.b.ankle : frame.a.ankle;
}

const rkVector& LeadAnkle(const MixedFoot& frame) {
    return AnkleIn(frame, frame.shareOfB >= kFullHoldShare ? 2 : 1);
}

float SmoothStep(float t) {
    t = std::clamp(t, 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}

// The ankle of one foot through the frames HoldPlants holds, asked for frame by frame in order.
struct HeldPath {
    std::span<MixedFoot> frames;
    float reach, step;
    int holder = 0;
    // Held: the ankle less the holding clip's. Lifted: the ankle less the frame's own one when it
    // lifted, fading out over the frames [from, to) until it comes down again.
    rkVector offset{0.0f, 0.0f, 0.0f};
    size_t from = 0, to = 0;
    rkVector last{0.0f, 0.0f, 0.0f}, lastOwn{0.0f, 0.0f, 0.0f};  // at the frame before: held, own
    bool stepping = false;
    rkVector stepFrom{0.0f, 0.0f, 0.0f};

    rkVector At(size_t i, const rkVector& own) {
        const rkVector at = Held(i, own);
        lastOwn = own;
        return last = at;
    }

    rkVector Held(size_t i, const rkVector& own) {
        const int before = holder;
        holder = HolderOf(frames[i], before);
        if (stepping) return Step(i);
        if (!holder) return Lifted(i, own, before);
        if (!before) {
            offset = own - AnkleIn(frames[i], holder);  // comes down where it is
            return own;
        }
        // Passed from one clip's plant to the other's, it stays where it is on the floor, and
        // settles to the height that clip has it at (its heel as high as that clip lifts it).
        if (holder != before)
            offset = offset + AnkleIn(frames[i - 1], before) - AnkleIn(frames[i - 1], holder);
        const float settle = std::min(kSettleStep, 0.5f * std::max(step, 0.0f));
        offset.z = std::copysign(std::max(std::fabs(offset.z) - settle, 0.0f), offset.z);
        const rkVector at = AnkleIn(frames[i], holder) + offset;
        return rkLength(at - own) > reach ? StepAcross(i, own) : at;
    }

    // Too far to hold from where the frame has the foot: it steps across to where the leading
    // clip has it, as fast as the clips step; where they step slower than that, it goes where
    // the frame has it (as far a frame as the mix moves it, once the locks are limited).
    rkVector StepAcross(size_t i, const rkVector& own) {
        const float length =
            step > 0.0f ? 2.0f * rkLength(LeadAnkle(frames[i]) - last) / step : INFINITY;
        if (!(length <= float(kLongestStepAcross))) {
            offset = own - AnkleIn(frames[i], holder);
            return own;
        }
        stepping = true, stepFrom = last, from = i;
        to = i + size_t(std::max(std::ceil(length), 2.0f));
        return Step(i);
    }

    rkVector Lifted(size_t i, const rkVector& own, int before) {
        if (before) {
            offset = last - lastOwn;
            from = to = i;
            while (to < frames.size() && !HolderOf(frames[to], 0)) ++to;
        }
        const float t = float(i - from + 1) / float(to - from + 1);
        return own + offset * (1.0f - SmoothStep(t));
    }

    // Along an arc from where the step set out to the leading clip's ankle, lifted by a fifth
    // of its length at the middle.
    rkVector Step(size_t i) {
        const float t = float(i - from + 1) / float(to - from);
        const rkVector goal = LeadAnkle(frames[i]);
        rkVector at = rkLerp(stepFrom, goal, SmoothStep(t));
        at.z += 0.8f * rkLength(goal - stepFrom) * t * (1.0f - t);
        if (t < 1.0f) return at;
        stepping = false;
        offset = holder ? goal - AnkleIn(frames[i], holder) : rkVector{0.0f, 0.0f, 0.0f};
        from = to = i;
        return goal;
    }
};

}  // namespace

rkVector AnkleOf(const FadeFoot& foot) {
    return rkLerp(foot.posed, foot.lock.target, std::clamp(foot.lock.weight, 0.0f, 1.0f));
}

float WeightWithinStep(const FadeFoot& foot, const rkVector& from, float step) {
    const float want = std::clamp(foot.lock.weight, 0.0f, 1.0f);
    const Weights within = WithinStepOf(foot, from, step);
    if (!within.Empty()) return std::clamp(want, within.low, within.high);
    const rkVector d = foot.lock.target - foot.posed;
    const float dd = rkDot(d, d);
    if (!(dd > 1e-12f) || !std::isfinite(dd)) return want;
    return std::clamp(-rkDot(foot.posed - from, d) / dd, 0.0f, 1.0f);
}

void LimitLockSteps(std::span<FadeFoot> frames, const rkVector& before, const rkVector& after,
                    float step) {
    if (!(step >= 0.0f) || !std::isfinite(step) || frames.empty()) return;
    const size_t n = frames.size();
    // Forward: the weights each frame can take with a path from `before` that keeps every step
    // in bounds. Taking the plain mix's foot (weight 0) always is such a path, so none is empty
    // but where a frame is broken, after which the path starts afresh.
    std::vector<Weights> reach(n);
    for (size_t i = 0; i < n; ++i) {
        const FadeFoot& foot = frames[i];
        if (!Finite(foot.posed) || !Finite(foot.lock.target)) continue;
        if (i == 0) {
            reach[i] = WithinStepOf(foot, before, StepBound(step, before, foot.posed));
        } else if (Finite(frames[i - 1].posed) && Finite(frames[i - 1].lock.target) &&
                   !reach[i - 1].Empty()) {
            const float bound = StepBound(step, frames[i - 1].posed, foot.posed);
            reach[i] = WithinStepOfSpan(foot, frames[i - 1], reach[i - 1], bound);
        }
        if (reach[i].Empty()) reach[i] = {0.0f, 0.0f};
    }
    // Backward: each frame's weight as near the wanted one as its reach allows while the ankle
    // stays in bounds of the next frame's (of `after` for the last), so that the foot arrives
    // where the frame after the blend has it.
    rkVector next = after;
    float bound = StepBound(step, frames[n - 1].posed, after);
    for (size_t k = n; k-- > 0;) {
        FadeFoot& foot = frames[k];
        const float want = std::clamp(foot.lock.weight, 0.0f, 1.0f);
        Weights allowed = WithinStepOf(foot, next, bound);
        allowed = {std::max(allowed.low, reach[k].low), std::min(allowed.high, reach[k].high)};
        if (!allowed.Empty()) {
            foot.lock.weight = std::clamp(want, allowed.low, allowed.high);
        } else {
            // Rounding only: the reach's weight nearest the next ankle.
            foot.lock.weight =
                std::clamp(WeightWithinStep(foot, next, bound), reach[k].low, reach[k].high);
        }
        if (!std::isfinite(foot.lock.weight)) foot.lock.weight = want;
        if (k > 0) bound = StepBound(step, frames[k - 1].posed, foot.posed);
        next = AnkleOf(foot);
    }
}

size_t HoldPlants(std::span<MixedFoot> frames, float reach, float step) {
    HeldPath path{frames, reach, step};
    size_t changed = 0;
    for (size_t i = 0; i < frames.size(); ++i) {
        const rkVector own = AnkleOf(frames[i].held);
        const rkVector at = path.At(i, own);
        if (!(rkLength(at - own) > kSameSpot) || !Finite(at)) continue;
        frames[i].held.lock = {at, 1.0f};
        changed = i + 1;
    }
    return changed;
}

}  // namespace tavrel

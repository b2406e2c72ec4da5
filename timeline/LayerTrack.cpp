#include "timeline/LayerTrack.h"

#include <algorithm>

#include "motion/QuatSpline.h"

namespace tavrel {
namespace {

constexpr Quat kNoTurn{1, 0, 0, 0};

// The share of an ease of `frames` frames, `into` frames into it.
float Eased(CurveType curve, int into, int frames) {
    if (frames <= 0 || into >= frames) return 1.0f;
    return CCurveFunction::GetValue(curve, float(into) / float(frames));
}

}  // namespace

float LayerClip::WeightAt(int frame) const {
    if (!Contains(frame)) return 0.0f;
    // The inertial curve shapes blends of two motions; an ease follows it as a smooth step.
    const CurveType shape = curve == kCurveInertial ? kCurveCurve : curve;
    return weight * std::min(Eased(shape, frame - firstFrame, easeIn),
                             Eased(shape, lastFrame - frame, easeOut));
}

int LayerTrack::IndexAt(int frame) const {
    for (size_t i = 0; i < clips.size(); ++i) {
        if (clips[i].Contains(frame)) return int(i);
    }
    return -1;
}

const LayerClip* LayerTrack::ClipAt(int frame) const {
    const int i = IndexAt(frame);
    return i < 0 ? nullptr : &clips[i];
}

bool LayerTrack::IsFree(int first, int last, int except) const {
    for (size_t i = 0; i < clips.size(); ++i) {
        if (int(i) != except && clips[i].firstFrame <= last && first <= clips[i].lastFrame)
            return false;
    }
    return true;
}

bool HasKeys(const LayerClip& clip, int segment) {
    return std::any_of(clip.keys.begin(), clip.keys.end(),
                       [&](const SegmentKey& k) { return k.segment == segment; });
}

Quat KeyTurnAt(const LayerClip& clip, int segment, int local) {
    const int last = clip.Length() - 1;
    if (local < 0 || local > last) return kNoTurn;
    const auto bySegment = [](const SegmentKey& k, int s) { return k.segment < s; };
    const auto begin = std::lower_bound(clip.keys.begin(), clip.keys.end(), segment, bySegment);
    auto end = begin;
    while (end != clip.keys.end() && end->segment == segment) ++end;
    const int keys = int(end - begin);
    if (keys == 0) return kNoTurn;
    // The curve runs through the clip's ends (no turn, unless a key sits there) and the keys.
    const bool lead = begin->frame > 0;
    const bool tail = (end - 1)->frame < last;
    const int count = keys + int(lead) + int(tail);
    struct Point {
        int frame;
        Quat turn;
    };
    const auto point = [&](int i) -> Point {
        i = std::clamp(i, 0, count - 1);
        if (lead && i-- == 0) return {0, kNoTurn};
        if (i < keys) return {begin[i].frame, begin[i].turn};
        return {last, kNoTurn};
    };
    int j = 0;
    while (j + 1 < count && point(j + 1).frame <= local) ++j;
    const Point at = point(j);
    if (at.frame == local || j + 1 >= count) return at.turn;
    const Point next = point(j + 1);
    const float t = float(local - at.frame) / float(next.frame - at.frame);
    return SplineBetween(point(j - 1).turn, at.turn, next.turn, point(j + 2).turn, t);
}

}  // namespace tavrel

#include "timeline/FrameSample.h"

#include <algorithm>
#include <tuple>
#include <vector>

namespace tavrel {
namespace {

// Fills A (and B when two clips contain the frame) from the clips containing it, in time order.
struct Containing {
    const MotionClip* first = nullptr;
    const MotionClip* second = nullptr;
    int count = 0;
};

Containing ClipsContaining(const CTimelineProject& project, int frame) {
    Containing found;
    for (auto it = project.motionClips.rbegin(); it != project.motionClips.rend(); ++it) {
        // In time order no clip after one starting later than the frame can contain it.
        if (it->firstFrame > frame) break;
        if (!it->Contains(frame)) continue;
        (found.count == 0 ? found.first : found.second) = &*it;
        if (++found.count == 2) break;
    }
    return found;
}

void ShowA(const MotionClip& a, int local, FrameSample& sample) {
    sample.fileA = a.fileName;
    sample.placeA = ClipPlaceOf(a.offset);
    sample.localA = local;
}

void ShowB(const MotionClip& b, int local, FrameSample& sample) {
    sample.fileB = b.fileName;
    sample.placeB = ClipPlaceOf(b.offset);
    sample.localB = local;
}

FadeSpan SpanOf(const MotionClip& a, const MotionClip& b, int first, int last, int weightFrom,
                int weightSpan) {
    return {first,        last,        weightFrom,   weightSpan,
            a.firstFrame, a.lastFrame, b.firstFrame, b.lastFrame};
}

float ShareOfB(const FadeSpan& fade, int frame) {
    // A blend of one frame would be 0/0: it shows A.
    return fade.weightSpan == 0
               ? 0.0f
               : static_cast<float>(double(frame - fade.weightFrom) / double(fade.weightSpan));
}

bool Overlapping(const MotionClip& a, const MotionClip& b) {
    return b.firstFrame <= a.lastFrame;
}

// The clips just before and after `clip` in time order (null where there is none).
std::pair<const MotionClip*, const MotionClip*> NeighboursOf(const CTimelineProject& project,
                                                             const MotionClip& clip) {
    const MotionClip* before = nullptr;
    for (auto it = project.motionClips.rbegin(); it != project.motionClips.rend(); ++it) {
        if (&*it == &clip) {
            const auto next = std::next(it);
            return {before, next == project.motionClips.rend() ? nullptr : &*next};
        }
        before = &*it;
    }
    return {nullptr, nullptr};
}

bool Blends(const TransitionZone& zone) {
    return zone.end >= zone.start;
}

// The last frame the clip shows alone: before its blend into the next clip, or its own last.
int AloneLastOf(const CTimelineProject& project, const MotionClip& clip) {
    const MotionClip* next = NeighboursOf(project, clip).second;
    const TransitionZone zone = next ? BlendZoneOf(clip, *next) : TransitionZone{0, -1};
    return Blends(zone) ? std::min(clip.lastFrame, zone.start - 1) : clip.lastFrame;
}

FadeSpan BlendSpanOf(const CTimelineProject& project, const MotionClip& a, const MotionClip& b) {
    const TransitionZone zone = BlendZoneOf(a, b);
    // In an overlap B's own frames follow the blend's last one: its share reaches 1 there.
    const int span = zone.end - zone.start + (Overlapping(a, b) ? 1 : 0);
    FadeSpan fade = SpanOf(a, b, zone.start, zone.end, zone.start, span);
    fade.bAloneLast = AloneLastOf(project, b);
    return fade;
}

// A frame of A's blend into B: each clip shows its own frame there, holding its first frame
// before it starts and its last after it ends.
void ShowBlend(const CTimelineProject& project, const MotionClip& a, const MotionClip& b, int frame,
               FrameSample& sample) {
    sample.fade = BlendSpanOf(project, a, b);
    ShowA(a, std::clamp(frame - a.firstFrame, 0, a.Length() - 1), sample);
    ShowB(b, std::clamp(frame - b.firstFrame, 0, b.Length() - 1), sample);
    sample.curve = CurveType(a.curveType);
    sample.weight = ShareOfB(sample.fade, frame);
}

// A frame of one clip alone, with the blend from the clip before when that lies behind it.
void ShowAlone(const CTimelineProject& project, const MotionClip& clip, int frame,
               FrameSample& sample) {
    ShowA(clip, frame - clip.firstFrame, sample);
    const MotionClip* before = NeighboursOf(project, clip).first;
    if (!before) return;
    const TransitionZone zone = BlendZoneOf(*before, clip);
    if (!Blends(zone) || zone.end >= frame) return;
    sample.follows = {before->fileName, ClipPlaceOf(before->offset), CurveType(before->curveType),
                      BlendSpanOf(project, *before, clip)};
}

}  // namespace

TransitionZone ZoneOf(const MotionClip& a, const MotionClip& b) {
    return {a.lastFrame - a.transitionOut + 1, b.firstFrame + b.transitionIn - 1};
}

TransitionZone BlendZoneOf(const MotionClip& a, const MotionClip& b) {
    const TransitionZone zone = ZoneOf(a, b);
    if (Overlapping(a, b) && zone.end < zone.start) return {b.firstFrame, a.lastFrame};
    return zone;
}

std::pair<int, int> LengthsOfBlend(const MotionClip& a, const MotionClip& b, TransitionZone zone) {
    return {a.lastFrame - zone.start + 1, zone.end - b.firstFrame + 1};
}

void KeepOverlapBlends(const CTimelineProject& before, CTimelineProject& after) {
    std::vector<TransitionZone> overlaps, blends;  // those of before
    for (auto a = before.motionClips.rbegin(); a != before.motionClips.rend(); ++a) {
        const auto b = std::next(a);
        if (b == before.motionClips.rend() || !Overlapping(*a, *b)) continue;
        overlaps.push_back({b->firstFrame, a->lastFrame});
        blends.push_back(BlendZoneOf(*a, *b));
    }
    auto& clips = after.motionClips;
    for (int earlier = clips.Count() - 1; earlier > 0; --earlier) {
        MotionClip& a = *clips.At(earlier);
        MotionClip& b = *clips.At(earlier - 1);
        if (!Overlapping(a, b)) continue;
        const TransitionZone overlap{b.firstFrame, a.lastFrame};
        TransitionZone zone = overlap;
        for (size_t i = 0; i < overlaps.size(); ++i) {
            if (overlaps[i].start == overlap.start && overlaps[i].end == overlap.end)
                zone = blends[i];
        }
        auto [out, in] = LengthsOfBlend(a, b, zone);
        if (out < 1 || out > a.Length() || in < 1 || in > b.Length()) {
            std::tie(out, in) = LengthsOfBlend(a, b, overlap);
        }
        a.SetTransitionOut(out);
        b.SetTransitionIn(in);
    }
}

FrameSample LastOfBlendBefore(const FrameSample& alone) {
    const BlendBefore& blend = alone.follows;
    FrameSample sample;
    sample.clipFile = alone.clipFile;
    sample.fileA = blend.fileA, sample.placeA = blend.placeA;
    sample.fileB = alone.fileA, sample.placeB = alone.placeA;
    sample.curve = blend.curve;
    sample.fade = blend.fade;
    return SampleInFade(sample, blend.fade.last);
}

FrameSample SampleInFade(const FrameSample& sample, int frame) {
    const FadeSpan& fade = sample.fade;
    FrameSample other = sample;
    other.frame = std::clamp(frame, fade.first, std::max(fade.first, fade.last));
    // Before its first frame a clip holds it, after its last frame its last.
    other.localA = std::clamp(other.frame - fade.aFirst, 0, std::max(fade.aLast - fade.aFirst, 0));
    other.localB = std::clamp(other.frame - fade.bFirst, 0, std::max(fade.bLast - fade.bFirst, 0));
    other.weight = ShareOfB(fade, other.frame);
    return other;
}

const MotionClip* LatestClipAt(const CTimelineProject& project, int frame) {
    for (const MotionClip& clip : project.motionClips) {
        if (clip.Contains(frame)) return &clip;
    }
    return nullptr;
}

std::string ClipFileAt(const CTimelineProject& project, int frame) {
    const MotionClip* clip = LatestClipAt(project, frame);
    return clip ? clip->fileName : std::string();
}

std::optional<ClipPair> FindTransitionPair(const CTimelineProject& project, int frame) {
    const auto& clips = project.motionClips;
    for (auto a = clips.rbegin(); a != clips.rend(); ++a) {
        auto b = std::next(a);
        if (b == clips.rend()) break;
        if (BlendZoneOf(*a, *b).Contains(frame)) return ClipPair(&*a, &*b);
    }
    return std::nullopt;
}

void GetMediaSample(const CTimelineProject* project, int frame, FrameSample& sample) {
    sample.mediaFile.clear();
    sample.mediaFrame = -1;
    if (!project || project->mediaClips.Count() == 0) return;
    const auto& clips = project->mediaClips;
    if (frame > clips.begin()->lastFrame || frame < clips.rbegin()->firstFrame) return;
    for (auto it = clips.rbegin(); it != clips.rend(); ++it) {
        if (!it->Contains(frame)) continue;
        sample.mediaFile = it->fileName;
        sample.mediaFrame = it->IsStill() ? -1 : frame - it->firstFrame;
        return;
    }
}

FrameSample GetFrameSample(const CTimelineProject* project, int frame) {
    FrameSample sample;
    sample.frame = frame;
    if (!project) return sample;
    sample.layers = project->layers;
    GetMediaSample(project, frame, sample);
    if (project->motionClips.Count() == 0) return sample;

    const MotionClip& latest = *project->motionClips.begin();
    if (frame < project->FirstFrame()) {
        if (const MotionClip* first = LatestClipAt(*project, project->FirstFrame())) {
            ShowA(*first, 0, sample);
        }
        return sample;
    }
    if (frame > project->LastFrame()) {
        if (const MotionClip* last = LatestClipAt(*project, project->LastFrame())) {
            ShowA(*last, latest.Length() - 1, sample);
        }
        return sample;
    }

    const Containing in = ClipsContaining(*project, frame);
    const MotionClip* c1 = in.first;
    const MotionClip* c2 = in.second;
    if (in.count > 0) sample.clipFile = (c2 ? c2 : c1)->fileName;
    if (c2) {
        // Overlapping clips cross-fade over their blend; a blend shorter than the overlap
        // leaves A alone before it and B alone after it.
        const TransitionZone zone = BlendZoneOf(*c1, *c2);
        if (zone.Contains(frame)) {
            ShowBlend(*project, *c1, *c2, frame, sample);
        } else {
            ShowAlone(*project, frame < zone.start ? *c1 : *c2, frame, sample);
        }
        return sample;
    }
    if (c1 && c1->IsOneFrame()) {
        ShowA(*c1, 0, sample);
        return sample;
    }
    if (const auto pair = FindTransitionPair(*project, frame)) {
        ShowBlend(*project, *pair->first, *pair->second, frame, sample);
        return sample;
    }
    if (c1) ShowAlone(*project, *c1, frame, sample);
    return sample;
}

}  // namespace tavrel

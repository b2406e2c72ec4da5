#include "timeline/FrameSample.h"

#include <algorithm>

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
    sample.offsetA = a.offset;
    sample.localA = local;
}

void ShowB(const MotionClip& b, int local, FrameSample& sample) {
    sample.fileB = b.fileName;
    sample.offsetB = b.offset;
    sample.localB = local;
}

FadeSpan SpanOf(const MotionClip& a, const MotionClip& b, int first, int last, int weightFrom,
               int weightSpan) {
    return {first, last, weightFrom, weightSpan, a.firstFrame, a.lastFrame, b.firstFrame,
            b.lastFrame};
}

float ShareOfB(const FadeSpan& fade, int frame) {
    // A blend of one frame would be 0/0: it shows A.
    return fade.weightSpan == 0 ? 0.0f
                                : static_cast<float>(double(frame - fade.weightFrom) /
                                                     double(fade.weightSpan));
}

void ShowPair(const MotionClip& a, const MotionClip& b, int frame, bool inClip,
              FrameSample& sample) {
    ShowA(a, 0, sample);
    ShowB(b, 0, sample);
    sample.curve = static_cast<int32_t>(a.curveType);
    if (inClip && frame > a.lastFrame) {
        sample.localA = a.lastFrame - a.firstFrame;  // A's last frame, held
        sample.localB = frame - b.firstFrame;
    } else if (inClip) {
        sample.localA = frame - a.firstFrame;
        sample.localB = 0;  // B's first frame, held
    } else {
        sample.localA = a.lastFrame - a.firstFrame;
        sample.localB = 0;
    }
    const TransitionZone zone = ZoneOf(a, b);
    sample.fade = SpanOf(a, b, zone.start, zone.end, zone.start, zone.end - zone.start);
    sample.weight = ShareOfB(sample.fade, frame);
}

}  // namespace

TransitionZone ZoneOf(const MotionClip& a, const MotionClip& b) {
    return {a.lastFrame - a.transitionOut + 1, b.firstFrame + b.transitionIn - 1};
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
        if (ZoneOf(*a, *b).Contains(frame)) return ClipPair(&*a, &*b);
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
        // Overlapping clips cross-fade over their shared frames.
        ShowA(*c1, frame - c1->firstFrame, sample);
        ShowB(*c2, frame - c2->firstFrame, sample);
        sample.fade = SpanOf(*c1, *c2, c2->firstFrame, c1->lastFrame, c2->firstFrame,
                             c1->lastFrame - c2->firstFrame + 1);
        sample.weight = ShareOfB(sample.fade, frame);
        return sample;
    }
    if (c1 && c1->IsOneFrame()) {
        ShowA(*c1, 0, sample);
        return sample;
    }
    const auto pair = FindTransitionPair(*project, frame);
    if (pair && c1 &&
        RangesOverlap(pair->first->firstFrame, pair->first->lastFrame, pair->second->firstFrame,
                      pair->second->lastFrame)) {
        ShowA(*c1, frame - c1->firstFrame, sample);
        return sample;
    }
    if (pair) {
        ShowPair(*pair->first, *pair->second, frame, c1 != nullptr, sample);
        return sample;
    }
    if (c1) ShowA(*c1, frame - c1->firstFrame, sample);
    return sample;
}

}  // namespace tavrel

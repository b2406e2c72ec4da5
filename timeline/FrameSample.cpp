#include "timeline/FrameSample.h"

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

void ShowPair(const MotionClip& a, const MotionClip& b, int frame, bool inClip,
              FrameSample& sample) {
    sample.fileA = a.fileName;
    sample.fileB = b.fileName;
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
    // A zone of one frame would be 0/0: it shows A.
    sample.weight =
        zone.end == zone.start
            ? 0.0f
            : static_cast<float>(double(frame - zone.start) / double(zone.end - zone.start));
}

}  // namespace

TransitionZone ZoneOf(const MotionClip& a, const MotionClip& b) {
    return {a.lastFrame - a.transitionOut + 1, b.firstFrame + b.transitionIn - 1};
}

std::string ClipFileAt(const CTimelineProject& project, int frame) {
    for (const MotionClip& clip : project.motionClips) {
        if (clip.Contains(frame)) return clip.fileName;
    }
    return {};
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
        sample.fileA = ClipFileAt(*project, project->FirstFrame());
        sample.localA = 0;
        return sample;
    }
    if (frame > project->LastFrame()) {
        sample.fileA = ClipFileAt(*project, project->LastFrame());
        sample.localA = latest.Length() - 1;
        return sample;
    }

    const Containing in = ClipsContaining(*project, frame);
    const MotionClip* c1 = in.first;
    const MotionClip* c2 = in.second;
    if (in.count > 0) sample.clipFile = (c2 ? c2 : c1)->fileName;
    if (c2) {
        // Overlapping clips cross-fade over their shared frames.
        sample.fileA = c1->fileName;
        sample.localA = frame - c1->firstFrame;
        sample.fileB = c2->fileName;
        sample.localB = frame - c2->firstFrame;
        sample.weight = static_cast<float>(double(frame - c2->firstFrame) /
                                           double(c1->lastFrame - c2->firstFrame + 1));
        return sample;
    }
    if (c1 && c1->IsOneFrame()) {
        sample.fileA = c1->fileName;
        sample.localA = 0;
        return sample;
    }
    const auto pair = FindTransitionPair(*project, frame);
    if (pair && c1 &&
        RangesOverlap(pair->first->firstFrame, pair->first->lastFrame, pair->second->firstFrame,
                      pair->second->lastFrame)) {
        sample.fileA = c1->fileName;
        sample.localA = frame - c1->firstFrame;
        return sample;
    }
    if (pair) {
        ShowPair(*pair->first, *pair->second, frame, c1 != nullptr, sample);
        return sample;
    }
    if (c1) {
        sample.fileA = c1->fileName;
        sample.localA = frame - c1->firstFrame;
    }
    return sample;
}

}  // namespace tavrel

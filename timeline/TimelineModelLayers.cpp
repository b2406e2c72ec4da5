// The edits of the layers above the motion track: layers, their clips, and keys.
#include <algorithm>
#include <cmath>

#include "motion/MotionImport.h"
#include "motion/QuatSpline.h"
#include "settings/FileNameRules.h"
#include "settings/StringIds.h"
#include "timeline/ModelFiles.h"
#include "timeline/TimelineModel.h"

namespace tavrel {
namespace {

using model_files::RemoveFile;

bool ValidClip(const CLayerStack& stack, int layer, int clip) {
    return layer >= 0 && layer < int(stack.tracks.size()) && clip >= 0 &&
           clip < int(stack.tracks[layer].clips.size());
}

void SortClips(LayerTrack& track) {
    std::sort(track.clips.begin(), track.clips.end(),
              [](const LayerClip& a, const LayerClip& b) { return a.firstFrame < b.firstFrame; });
}

void SortKeys(LayerClip& clip) {
    std::stable_sort(clip.keys.begin(), clip.keys.end(),
                     [](const SegmentKey& a, const SegmentKey& b) {
                         return a.segment != b.segment ? a.segment < b.segment : a.frame < b.frame;
                     });
}

// Whether the track takes a clip over [first, last] (besides the clip at `except`).
bool FitsOnTrack(const LayerTrack& track, int first, int last, int except = -1) {
    return first >= 0 && last <= kMaxFrame && first <= last && track.IsFree(first, last, except);
}

// A new key clip around the frame, reaching kKeyClipMargin frames to each side where the
// layer's other clips leave room.
LayerClip KeyClipAround(const LayerTrack& track, int frame, int margin) {
    LayerClip clip;
    clip.firstFrame = std::max(0, frame - margin);
    clip.lastFrame = std::min(kMaxFrame, frame + margin);
    for (const LayerClip& other : track.clips) {
        if (other.lastFrame < frame)
            clip.firstFrame = std::max(clip.firstFrame, other.lastFrame + 1);
        if (other.firstFrame > frame)
            clip.lastFrame = std::min(clip.lastFrame, other.firstFrame - 1);
    }
    return clip;
}

}  // namespace

EditResult CTimelineModel::ChangeLayers(EditKind kind,
                                        const std::function<EditResult(CLayerStack&)>& change) {
    return RunEdit(kind, [&] {
        CLayerStack stack = project_.Layers();
        EditResult result = change(stack);
        if (result.done) {
            project_.layers = stack.tracks.empty()
                                  ? nullptr
                                  : std::make_shared<const CLayerStack>(std::move(stack));
        }
        return result;
    });
}

EditResult CTimelineModel::ChangeLayerClip(EditKind kind, int layer, int clip,
                                           const std::function<EditResult(LayerClip&)>& change) {
    return ChangeLayers(kind, [&](CLayerStack& stack) {
        if (!ValidClip(stack, layer, clip)) return EditResult::Refused();
        LayerClip& changed = stack.tracks[layer].clips[clip];
        const LayerClip before = changed;
        EditResult result = change(changed);
        // A change to the same values is no edit: it keeps no undo step.
        if (result.done && changed == before) return EditResult::Refused();
        return result;
    });
}

EditResult CTimelineModel::AddLayer() {
    return ChangeLayers(kEditLayer, [](CLayerStack& stack) {
        if (stack.tracks.size() >= size_t(kMaxLayers)) {
            return EditResult::Refused(strings::kLayerLimit);
        }
        stack.tracks.emplace_back();
        return EditResult::Done();
    });
}

EditResult CTimelineModel::RemoveLayer(int layer) {
    return ChangeLayers(kEditLayer, [&](CLayerStack& stack) {
        if (layer < 0 || layer >= int(stack.tracks.size())) return EditResult::Refused();
        stack.tracks.erase(stack.tracks.begin() + layer);
        return EditResult::Done();
    });
}

EditResult CTimelineModel::AddLayerClip(int layer, const std::string& path, int atFrame,
                                        LayerMode mode) {
    return ChangeLayers(kEditLayerClip, [&](CLayerStack& stack) {
        if (layer < 0 || layer >= int(stack.tracks.size())) return EditResult::Refused();
        if (path.size() > kMaxEnteringPathLength) return EditResult::Refused(strings::kPathTooLong);
        if (motion_.FrameCount(path) < 1) return EditResult::Refused(UnusableMotion(path));
        const ImportResult file = workingDirectory_.ImportMotionFile(
            path, motion_, CMotionImport::kTimelineFrameRate, nullptr, {});
        if (!file) return EditResult::Refused(UnusableMotion(path));
        LayerClip clip;
        clip.fileName = file.path;
        clip.mode = mode;
        clip.firstFrame = atFrame;
        clip.lastFrame = atFrame + motion_.FrameCount(file.path) - 1;
        LayerTrack& track = stack.tracks[layer];
        if (clip.lastFrame < atFrame || !FitsOnTrack(track, clip.firstFrame, clip.lastFrame)) {
            RemoveFile(file.path);
            return EditResult::Refused(strings::kLayerClipOverlap);
        }
        track.clips.push_back(std::move(clip));
        SortClips(track);
        return EditResult::Done();
    });
}

EditResult CTimelineModel::MoveLayerClip(int layer, int clip, int newFirst) {
    return ChangeLayers(kEditLayerClip, [&](CLayerStack& stack) {
        if (!ValidClip(stack, layer, clip)) return EditResult::Refused();
        LayerTrack& track = stack.tracks[layer];
        LayerClip& moved = track.clips[clip];
        const int newLast = newFirst + moved.Length() - 1;
        if (newFirst == moved.firstFrame) return EditResult::Refused();
        if (!FitsOnTrack(track, newFirst, newLast, clip)) {
            return EditResult::Refused(strings::kLayerClipOverlap);
        }
        moved.firstFrame = newFirst;  // keys count from the first frame: they move along
        moved.lastFrame = newLast;
        SortClips(track);
        return EditResult::Done();
    });
}

EditResult CTimelineModel::RemoveLayerClip(int layer, int clip) {
    return ChangeLayers(kEditLayerClip, [&](CLayerStack& stack) {
        if (!ValidClip(stack, layer, clip)) return EditResult::Refused();
        auto& clips = stack.tracks[layer].clips;
        clips.erase(clips.begin() + clip);
        return EditResult::Done();
    });
}

EditResult CTimelineModel::SetLayerClipMode(int layer, int clip, LayerMode mode) {
    return ChangeLayerClip(kEditLayerClipSettings, layer, clip, [&](LayerClip& c) {
        c.mode = mode;
        return EditResult::Done();
    });
}

EditResult CTimelineModel::SetLayerClipWeight(int layer, int clip, float weight, int easeIn,
                                              int easeOut, CurveType curve) {
    return ChangeLayerClip(kEditLayerClipSettings, layer, clip, [&](LayerClip& c) {
        if (!(weight >= 0.0f && weight <= 1.0f))
            return EditResult::Refused(strings::kLayerWeightRange);
        if (easeIn < 0 || easeOut < 0 || easeIn > c.Length() || easeOut > c.Length() ||
            curve >= kCurveCount) {
            return EditResult::Refused();
        }
        c.weight = weight;
        c.easeIn = easeIn;
        c.easeOut = easeOut;
        c.curve = curve;
        return EditResult::Done();
    });
}

EditResult CTimelineModel::SetLayerClipMask(int layer, int clip, SegmentMask mask) {
    return ChangeLayerClip(kEditLayerClipSettings, layer, clip, [&](LayerClip& c) {
        mask &= kWholeBodyMask;
        if (mask == 0) return EditResult::Refused(strings::kLayerMaskEmpty);
        c.mask = mask;
        return EditResult::Done();
    });
}

EditResult CTimelineModel::SetKey(int layer, int frame, int segment, Quat turn) {
    return ChangeLayers(kEditLayerKeys, [&](CLayerStack& stack) {
        if (layer < 0 || layer >= int(stack.tracks.size()) || frame < 0 || frame > kMaxFrame) {
            return EditResult::Refused();
        }
        const float length =
            std::sqrt(turn.w * turn.w + turn.x * turn.x + turn.y * turn.y + turn.z * turn.z);
        if (segment <= kLowerTorso || segment >= kStandardSegmentCount) {
            return EditResult::Refused(strings::kLayerKeySegment);
        }
        if (!std::isfinite(length) || length < 1e-6f) return EditResult::Refused();
        LayerTrack& track = stack.tracks[layer];
        int index = track.IndexAt(frame);
        if (index >= 0 && !track.clips[index].IsKeyClip()) {
            return EditResult::Refused(strings::kLayerKeyOnMotion);
        }
        if (index < 0) {
            track.clips.push_back(KeyClipAround(track, frame, kKeyClipMargin));
            SortClips(track);
            index = track.IndexAt(frame);
        }
        LayerClip& clip = track.clips[index];
        const int local = frame - clip.firstFrame;
        auto& keys = clip.keys;
        keys.erase(std::remove_if(keys.begin(), keys.end(),
                                  [&](const SegmentKey& k) {
                                      return k.segment == segment && k.frame == local;
                                  }),
                   keys.end());
        keys.push_back({local, segment, QuatNormalized(turn)});
        SortKeys(clip);
        return EditResult::Done();
    });
}

EditResult CTimelineModel::MoveKeys(int layer, int from, int to) {
    return ChangeLayers(kEditLayerKeys, [&](CLayerStack& stack) {
        if (layer < 0 || layer >= int(stack.tracks.size())) return EditResult::Refused();
        LayerTrack& track = stack.tracks[layer];
        const int index = track.IndexAt(from);
        if (index < 0 || from == to) return EditResult::Refused(strings::kLayerNoKey);
        LayerClip& clip = track.clips[index];
        if (!clip.Contains(to)) return EditResult::Refused(strings::kLayerClipOverlap);
        const int a = from - clip.firstFrame, b = to - clip.firstFrame;
        auto& keys = clip.keys;
        if (std::none_of(keys.begin(), keys.end(),
                         [&](const SegmentKey& k) { return k.frame == a; }))
            return EditResult::Refused(strings::kLayerNoKey);
        // Keys already at the target give way to the moved ones of their segment.
        std::vector<SegmentKey> moved;
        for (const SegmentKey& k : keys) {
            if (k.frame == a) moved.push_back({b, k.segment, k.turn});
        }
        keys.erase(std::remove_if(keys.begin(), keys.end(),
                                  [&](const SegmentKey& k) {
                                      if (k.frame == a) return true;
                                      return k.frame == b &&
                                             std::any_of(moved.begin(), moved.end(),
                                                         [&](const SegmentKey& m) {
                                                             return m.segment == k.segment;
                                                         });
                                  }),
                   keys.end());
        keys.insert(keys.end(), moved.begin(), moved.end());
        SortKeys(clip);
        return EditResult::Done();
    });
}

EditResult CTimelineModel::DeleteKeys(int layer, int frame) {
    return ChangeLayers(kEditLayerKeys, [&](CLayerStack& stack) {
        if (layer < 0 || layer >= int(stack.tracks.size())) return EditResult::Refused();
        LayerTrack& track = stack.tracks[layer];
        const int index = track.IndexAt(frame);
        if (index < 0) return EditResult::Refused(strings::kLayerNoKey);
        auto& keys = track.clips[index].keys;
        const int local = frame - track.clips[index].firstFrame;
        const size_t before = keys.size();
        keys.erase(std::remove_if(keys.begin(), keys.end(),
                                  [&](const SegmentKey& k) { return k.frame == local; }),
                   keys.end());
        if (keys.size() == before) return EditResult::Refused(strings::kLayerNoKey);
        return EditResult::Done();
    });
}

EditResult CTimelineModel::ClearKeys(int layer, int frame) {
    return ChangeLayers(kEditLayerKeys, [&](CLayerStack& stack) {
        if (layer < 0 || layer >= int(stack.tracks.size())) return EditResult::Refused();
        LayerTrack& track = stack.tracks[layer];
        const int index = track.IndexAt(frame);
        if (index < 0 || track.clips[index].keys.empty()) {
            return EditResult::Refused(strings::kLayerNoKey);
        }
        // A key clip without keys changes nothing: it goes with them.
        track.clips.erase(track.clips.begin() + index);
        return EditResult::Done();
    });
}

Quat CTimelineModel::KeyTurnOf(int layer, int frame, int segment) const {
    const CLayerStack& stack = Layers();
    if (layer < 0 || layer >= int(stack.tracks.size())) return {1, 0, 0, 0};
    const LayerClip* clip = stack.tracks[layer].ClipAt(frame);
    if (!clip || !clip->IsKeyClip()) return {1, 0, 0, 0};
    return KeyTurnAt(*clip, segment, frame - clip->firstFrame);
}

}  // namespace tavrel

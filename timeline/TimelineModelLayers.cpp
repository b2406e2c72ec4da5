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
using model_files::RemoveWritten;

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

// A motion clip keeps the file frames it plays: trimmed, it plays a copy of the frames kept
// (split off its file twice at most; the pieces cut away go at once).
bool CTimelineModel::TrimLayerClip(LayerClip& clip, int first, int last) {
    if (first < clip.firstFrame && !clip.IsKeyClip()) return false;
    if (last > clip.lastFrame && !clip.IsKeyClip()) return false;
    if (clip.IsKeyClip()) {
        const int by = clip.firstFrame - first;
        auto& keys = clip.keys;
        for (SegmentKey& key : keys) key.frame += by;
        const int length = last - first + 1;
        keys.erase(
            std::remove_if(keys.begin(), keys.end(),
                           [&](const SegmentKey& k) { return k.frame < 0 || k.frame >= length; }),
            keys.end());
    }
    // Splits the file after its first `length` frames and keeps one side.
    const auto keepSide = [&](int length, bool keepLater) {
        const std::string a = MakeDerivedName(clip.fileName);
        const std::string b = a.empty() ? std::string() : MakeDerivedName(a);
        if (b.empty() || !motion_.Split(clip.fileName, length, a, b)) {
            RemoveWritten({a, b}, motion_);
            return false;
        }
        RemoveWritten({keepLater ? a : b}, motion_);
        clip.fileName = keepLater ? b : a;
        return true;
    };
    if (!clip.IsKeyClip()) {
        if (first > clip.firstFrame && !keepSide(first - clip.firstFrame, true)) return false;
        if (last < clip.lastFrame && !keepSide(last - first + 1, false)) return false;
    }
    clip.firstFrame = first;
    clip.lastFrame = last;
    clip.easeIn = std::min(clip.easeIn, clip.Length());
    clip.easeOut = std::min(clip.easeOut, clip.Length());
    return true;
}

EditResult CTimelineModel::ResizeLayerClip(int layer, int clip, int newFirst, int newLast) {
    return ChangeLayerClip(kEditLayerClip, layer, clip, [&](LayerClip& c) {
        const LayerTrack& track = project_.Layers().tracks[layer];
        if (!FitsOnTrack(track, newFirst, newLast, clip)) {
            return EditResult::Refused(strings::kLayerClipOverlap);
        }
        if (!c.IsKeyClip() && (newFirst < c.firstFrame || newLast > c.lastFrame)) {
            return EditResult::Refused(strings::kLayerClipOwnFrames);
        }
        if (!TrimLayerClip(c, newFirst, newLast)) {
            return EditResult::Refused(strings::kClipEditFailed);
        }
        return EditResult::Done();
    });
}

bool CTimelineModel::CropLayers(int in, int out) {
    if (Layers().tracks.empty()) return true;
    CLayerStack stack = Layers();
    for (LayerTrack& track : stack.tracks) {
        std::vector<LayerClip> kept;
        for (LayerClip& clip : track.clips) {
            if (!RangesOverlap(clip.firstFrame, clip.lastFrame, in, out)) continue;
            if (!TrimLayerClip(clip, std::max(in, clip.firstFrame), std::min(out, clip.lastFrame)))
                return false;
            kept.push_back(std::move(clip));
        }
        track.clips = std::move(kept);
    }
    project_.layers = std::make_shared<const CLayerStack>(std::move(stack));
    return true;
}

bool CTimelineModel::ShiftLayers(int from, int by) {
    if (Layers().tracks.empty() || by == 0) return true;
    CLayerStack stack = Layers();
    for (LayerTrack& track : stack.tracks) {
        for (LayerClip& clip : track.clips) {
            if (clip.firstFrame < from) continue;
            if (clip.lastFrame + by > kMaxFrame) return false;
            clip.firstFrame += by;
            clip.lastFrame += by;
        }
        // A clip across `from` stays: those after it only move away from it.
    }
    project_.layers = std::make_shared<const CLayerStack>(std::move(stack));
    return true;
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

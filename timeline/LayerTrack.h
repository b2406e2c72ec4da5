#pragma once
// The layers above the motion track: each holds clips that change the pose the motion track
// gives, either with a motion of their own (added onto it, or over it) or with keys set on
// body segments. A project keeps its layers as one shared, unchanging stack: an edit makes a new
// stack, so undo records and frame samples share them without copying.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "motion/CurveFunction.h"
#include "motion/Quaternion.h"
#include "timeline/BodyMask.h"

namespace tavrel {

constexpr int kMaxLayers = 8;

enum class LayerMode : uint8_t {
    kAdditive,  // the clip's turns from its own first frame are added onto the pose below
    kOverride,  // the clip's pose replaces the pose below
};

// One key: a segment's turn (from the pose below) at a frame of its clip.
struct SegmentKey {
    int32_t frame = 0;    // from the clip's first frame
    int32_t segment = 0;  // a standard segment, never the root
    Quat turn{1, 0, 0, 0};
    bool operator==(const SegmentKey& o) const {
        return frame == o.frame && segment == o.segment && turn.w == o.turn.w &&
               turn.x == o.turn.x && turn.y == o.turn.y && turn.z == o.turn.z;
    }
};

struct LayerClip {
    std::string fileName;  // the motion played, in the working directory; "" for a key clip
    int32_t firstFrame = 0;
    int32_t lastFrame = 0;
    LayerMode mode = LayerMode::kAdditive;
    float weight = 1.0f;             // 0 to 1
    int32_t easeIn = 0;              // frames over which the weight rises at the start
    int32_t easeOut = 0;             // and falls at the end
    CurveType curve = kCurveLinear;  // the shape of both
    SegmentMask mask = kWholeBodyMask;
    std::vector<SegmentKey> keys;  // ordered by segment, then frame

    bool IsKeyClip() const { return fileName.empty(); }
    int Length() const { return lastFrame - firstFrame + 1; }
    bool Contains(int frame) const { return frame >= firstFrame && frame <= lastFrame; }
    // The clip's share at a timeline frame inside it: its weight through the eases.
    float WeightAt(int frame) const;
    bool operator==(const LayerClip&) const = default;
};

struct LayerTrack {
    std::vector<LayerClip> clips;  // in time order; they never share a frame
    // The clip containing the frame, or null.
    const LayerClip* ClipAt(int frame) const;
    int IndexAt(int frame) const;
    // Whether [first, last] meets no clip but the one at `except`.
    bool IsFree(int first, int last, int except = -1) const;
    bool operator==(const LayerTrack&) const = default;
};

struct CLayerStack {
    std::vector<LayerTrack> tracks;  // bottom first: each changes the pose of those below
    bool operator==(const CLayerStack&) const = default;
};

using LayerStackPtr = std::shared_ptr<const CLayerStack>;

// The segment's key turn at a frame of the clip: a spline through its keys that eases to no
// turn at the clip's first and last frame; no turn where the segment has no key.
Quat KeyTurnAt(const LayerClip& clip, int segment, int localFrame);
// Whether the segment has a key in the clip.
bool HasKeys(const LayerClip& clip, int segment);

}  // namespace tavrel

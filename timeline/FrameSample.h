#pragma once
// What the timeline shows at one frame: which motion files play, at which of their frames,
// how strongly each counts, and which video frame or picture lies behind.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "timeline/ClipPlace.h"
#include "timeline/TimelineProject.h"

namespace tavrel {

// The frames over which clip A blends into clip B, and how the clips' frames and B's share
// follow the timeline's there, so that one sample of a blend gives any other (a held foot looks
// at the frames before and after).
struct FadeSpan {
    int32_t first = 0, last = -1;            // the frames of the blend; none when last < first
    int32_t weightFrom = 0, weightSpan = 0;  // B's share at frame f: (f - weightFrom) / weightSpan
    int32_t aFirst = 0, aLast = 0, bFirst = 0, bLast = 0;  // the clips' frames
    // The last frame B shows alone after the blend (before its own next blend): the feet the
    // blend holds may stay held on until then.
    int32_t bAloneLast = 0;
    bool operator==(const FadeSpan&) const = default;
};

// The blend a clip shown alone follows (the clip is its B): its A, A's place and curve, and its
// frames; none (fade.last < fade.first) when the clip follows no blend.
struct BlendBefore {
    std::string fileA;
    ClipPlace placeA;
    CurveType curve = kCurveLinear;
    FadeSpan fade;
    bool operator==(const BlendBefore&) const = default;
};

struct FrameSample {
    int32_t frame = 0;     // the frame evaluated
    std::string clipFile;  // file of the clip containing the frame (the later one of two)
    std::string fileA;     // motion A, the earlier clip
    int32_t localA = -1;
    std::string fileB;  // motion B, the later clip; "" when nothing blends
    int32_t localB = -1;
    float weight = 0.0f;               // share of B: 0 shows A alone
    CurveType curve = kCurveLinear;    // transition curve of A
    ClipPlace placeA, placeB;          // the clips' places and switches, decoded once here
    FadeSpan fade;            // the blend of A into B; none when nothing blends
    BlendBefore follows;      // where A shows alone: the blend that brought it in
    std::string mediaFile;    // video or picture behind the avatar
    int32_t mediaFrame = -1;  // video frame; -1 for a picture or no media
    LayerStackPtr layers;     // the project's layers, shown over the clips at this frame

    bool operator==(const FrameSample&) const = default;
};

// The inclusive frames over which clip A blends into the following clip B.
struct TransitionZone {
    int start;  // A.lastFrame - A.transitionOut + 1
    int end;    // B.firstFrame + B.transitionIn - 1
    bool Contains(int frame) const { return frame >= start && frame <= end; }
};
TransitionZone ZoneOf(const MotionClip& a, const MotionClip& b);
// The frames over which A blends into the B that follows it, whether B starts after A ends
// or inside it: the zone of their lengths. Where B starts inside A and their lengths do not
// meet (they were never fitted to the overlap), the blend is the whole overlap.
TransitionZone BlendZoneOf(const MotionClip& a, const MotionClip& b);
// The lengths that make A's blend into B the zone: A's transitionOut and B's transitionIn.
std::pair<int, int> LengthsOfBlend(const MotionClip& a, const MotionClip& b, TransitionZone zone);
// After an edit: an overlap that was there before keeps the blend it had, a new overlap
// blends over the whole of it. Overlaps are told apart by their frames.
void KeepOverlapBlends(const CTimelineProject& before, CTimelineProject& after);

using ClipPair = std::pair<const MotionClip*, const MotionClip*>;

// The sample of a blend at another of its frames (held to the blend's own): its clips' frames
// and B's share there.
FrameSample SampleInFade(const FrameSample& sample, int frame);
// The sample of the last frame of the blend a sample shown alone follows.
FrameSample LastOfBlendBefore(const FrameSample& alone);

// Every function takes the project, or nullptr when none is loaded.
FrameSample GetFrameSample(const CTimelineProject* project, int frame);
// Fills mediaFile and mediaFrame of the sample.
void GetMediaSample(const CTimelineProject* project, int frame, FrameSample& sample);
// The latest-starting clip containing the frame, or null; its file, or "".
const MotionClip* LatestClipAt(const CTimelineProject& project, int frame);
std::string ClipFileAt(const CTimelineProject& project, int frame);
// In time order, the first neighbours whose transition zone contains the frame.
std::optional<ClipPair> FindTransitionPair(const CTimelineProject& project, int frame);

}  // namespace tavrel

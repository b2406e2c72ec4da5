#pragma once
// One clip of the motion track: a motion file played one file frame per timeline frame.
#include <array>
#include <cstdint>
#include <string>

#include "motion/CurveFunction.h"
#include "motion/SpeedCurve.h"

namespace tavrel {

// The timeline holds frames 0 to 17999 and runs at 60 frames per second.
constexpr int kMaxFrame = 17999;
constexpr double kMillisecondsPerFrame = 16.666666;
constexpr double kFramesPerMillisecond = 0.06;

struct MotionClip {
    std::string fileName;        // the motion file played, in the working directory
    std::string sourceFileName;  // the unstretched file fileName was resampled from, or ""
    int32_t firstFrame = 0;
    int32_t lastFrame = 0;
    uint8_t stretched = 0;  // fileName was resampled in time from sourceFileName
    // How the speed runs over the clip; a curved clip is always resampled from its source.
    SpeedCurve speedCurve = kSpeedConstant;
    int16_t transitionIn = 1;           // frames at the start that blend with the clip before
    int16_t transitionOut = 1;          // frames at the end that blend with the clip after
    uint32_t curveType = kCurveLinear;  // curve of the transition into the next clip
    std::array<int32_t, 3> offset{};    // carried along; no edit reads it
    int32_t sourceFirst = 0;
    int32_t sourceLast = 0;

    int Length() const { return lastFrame - firstFrame + 1; }
    bool IsOneFrame() const { return firstFrame == lastFrame; }
    bool Contains(int frame) const { return frame >= firstFrame && frame <= lastFrame; }

    // The setters keep frames at most kMaxFrame and transition lengths at least 0.
    void SetFirstFrame(int frame);
    void SetLastFrame(int frame);
    void SetFrames(int first, int last) { SetFirstFrame(first), SetLastFrame(last); }
    void SetTransitionIn(int frames);
    void SetTransitionOut(int frames);
    // Both transition lengths from the clip's length (DefaultTransitionLength).
    void SetDefaultTransitions();

    bool operator==(const MotionClip&) const = default;
};

// The motion track's order: latest first frame first; on equal first frames the larger last
// frame first. Negative when a belongs before b.
int CompareMotionClips(const MotionClip& a, const MotionClip& b);

// Transition length for a clip of n frames: 0 below 1, 1 up to 9, 3 up to 14, else 5.
int DefaultTransitionLength(int length);

// Whether the inclusive ranges [a, b] and [c, d] share a frame.
bool RangesOverlap(int a, int b, int c, int d);

}  // namespace tavrel

#include "motion/FootContacts.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "motion/Legs.h"

namespace tavrel {
namespace {

// Thresholds as shares of the leg's length (thigh plus shin), so that any figure's size works,
// and in seconds, so that any frame rate does.
constexpr float kHeightShare = 0.05f;   // above the motion's lowest foot
constexpr float kSpeedShare = 0.66f;    // horizontal travel a second
constexpr float kToeShare = 0.38f;      // toe ahead of the ankle along the foot
constexpr float kShortestPlant = 0.1f;  // seconds; shorter runs are noise
constexpr float kLongestGap = 0.067f;   // seconds of a plant lost to noise, bridged
constexpr float kSpeedReach = 0.067f;   // seconds each side over which a foot's speed is taken
// Seconds each side over which the floor is the lowest foot: longer than a stance and a jump,
// short enough that a capture's floor that is not quite level (or a ramp) stays under the feet.
constexpr float kFloorReach = 1.0f;

struct FootPoints {
    rkVector ankle, toe;
};

FootPoints PointsOf(const Leg& leg, float toeLength) {
    const rkMatrix world = WorldOf(leg.foot);
    return {rkOrigin(world), rkTransformPoint({0.0f, toeLength, 0.0f}, world)};
}

float Horizontal(rkVector a, rkVector b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}

float LargestAnkleStep(const std::array<std::vector<FootPoints>, 2>& points) {
    float most = 0.0f;
    for (const auto& foot : points) {
        for (size_t f = 1; f < foot.size(); ++f) {
            most = std::max(most, rkLength(foot[f].ankle - foot[f - 1].ankle));
        }
    }
    return std::isfinite(most) ? most : FootContacts::kNoStep;
}

float LegLength(const Leg& leg) {
    return rkLength(rkOrigin(leg.shin->local)) + rkLength(rkOrigin(leg.foot->local));
}

// Under every frame, the lowest either foot comes within `reach` frames of it.
std::vector<float> FloorUnder(const std::array<std::vector<FootPoints>, 2>& points, int reach) {
    const size_t n = points[0].size();
    std::vector<float> lowest(n), floor(n);
    for (size_t f = 0; f < n; ++f) {
        lowest[f] = std::numeric_limits<float>::max();
        for (const auto& foot : points)
            lowest[f] = std::min({lowest[f], foot[f].ankle.z, foot[f].toe.z});
    }
    for (size_t f = 0; f < n; ++f) {
        const size_t a = f > size_t(reach) ? f - size_t(reach) : 0, b = std::min(n, f + reach + 1);
        floor[f] = *std::min_element(lowest.begin() + long(a), lowest.begin() + long(b));
    }
    return floor;
}

// The runs of true, with short gaps bridged and short runs inside the motion dropped.
std::vector<FootPlant> Runs(const std::vector<uint8_t>& planted, int longestGap, int shortest) {
    std::vector<FootPlant> runs;
    const int n = int(planted.size());
    for (int f = 0; f < n;) {
        if (!planted[f]) {
            ++f;
            continue;
        }
        int last = f;
        while (last + 1 < n && planted[last + 1]) ++last;
        if (!runs.empty() && f - runs.back().last - 1 <= longestGap) {
            runs.back().last = last;
        } else {
            runs.push_back({f, last});
        }
        f = last + 1;
    }
    // A run at either end of the motion goes on beyond it: it is kept however short, unless
    // the whole motion is too short to tell.
    std::erase_if(runs, [&](const FootPlant& r) {
        const bool atEnd = (r.first == 0 || r.last == n - 1) && n >= shortest;
        return r.last - r.first + 1 < shortest && !atEnd;
    });
    return runs;
}

}  // namespace

int FramesOf(float seconds, float fps) {
    const float frames = std::isfinite(fps) && fps > 0.0f ? std::round(seconds * fps) : 1.0f;
    return int(std::clamp(frames, 1.0f, 1e6f));
}

FootContacts::FootContacts(std::array<std::vector<FootPlant>, 2> plants, int frameCount, float fps,
                           float largestAnkleStep, float largestJointStep)
    : plants_(std::move(plants)),
      frameCount_(frameCount),
      easeFrames_(FramesOf(kEaseSeconds, fps)),
      largestAnkleStep_(largestAnkleStep),
      largestJointStep_(std::isfinite(largestJointStep) ? largestJointStep : kNoStep) {}

const FootPlant* FootContacts::PlantAt(int side, int frame) const {
    const auto& plants = plants_[side & 1];
    auto it = std::upper_bound(plants.begin(), plants.end(), frame,
                               [](int f, const FootPlant& p) { return f < p.first; });
    if (it == plants.begin()) return nullptr;
    --it;
    return frame <= it->last ? &*it : nullptr;
}

float FootContacts::LockWeight(int side, int frame) const {
    const FootPlant* plant = PlantAt(side, frame);
    if (!plant) return 0.0f;
    const int fromStart = plant->first == 0 ? easeFrames_ : frame - plant->first;
    const int toEnd = plant->last == frameCount_ - 1 ? easeFrames_ : plant->last - frame;
    const float ramp = float(std::min(fromStart, toEnd) + 1) / float(easeFrames_ + 1);
    const float t = std::min(1.0f, ramp);
    return t * t * (3.0f - 2.0f * t);  // smooth at both ends, so the lock never pops
}

FootContacts FindFootContacts(int count, const PoseAt& poseAt, float fps) {
    if (count <= 0) return {};
    std::array<std::vector<FootPoints>, 2> points;
    float legLength = 0.0f;
    const rkNode* found = nullptr;
    Legs legs;
    std::vector<rkVector> joints, before;
    float jointStep = 0.0f;
    for (int f = 0; f < count; ++f) {
        const rkNode* pose = poseAt(f);
        // A motion hands out one tree refilled frame by frame: its legs are looked up once.
        if (pose != found || !pose) legs = FindLegs(const_cast<rkNode*>(pose)), found = pose;
        if (!legs[0].Valid() || !legs[1].Valid()) return {};
        if (f == 0) legLength = std::max(LegLength(legs[0]), LegLength(legs[1]));
        joints = WorldJoints(pose);
        if (f > 0) jointStep = std::max(jointStep, LargestJointStep(before, joints));
        std::swap(joints, before);
        for (int side = 0; side < 2; ++side) {
            const float toe = kToeShare * rkLength(rkOrigin(legs[side].foot->local));
            points[side].push_back(PointsOf(legs[side], toe));
        }
    }
    if (!(legLength > 0.0f) || !std::isfinite(legLength)) return {};
    const float rate = std::isfinite(fps) && fps > 0.0f ? fps : FootContacts::kDefaultRate;
    const std::vector<float> floor = FloorUnder(points, FramesOf(kFloorReach, rate));
    const float band = kHeightShare * legLength;
    const float stillest = kSpeedShare * legLength / rate;
    const int reach = FramesOf(kSpeedReach, rate);
    const int gap = FramesOf(kLongestGap, rate), shortest = FramesOf(kShortestPlant, rate);
    std::array<std::vector<FootPlant>, 2> plants;
    std::vector<uint8_t> planted(count);
    for (int side = 0; side < 2; ++side) {
        const auto& p = points[side];
        for (int f = 0; f < count; ++f) {
            const int a = std::max(f - reach, 0), b = std::min(f + reach, count - 1);
            const float span = float(std::max(b - a, 1));
            // Heel or toe still: a foot rolling onto its toes is still planted at the toe.
            const float speed =
                std::min(Horizontal(p[a].ankle, p[b].ankle), Horizontal(p[a].toe, p[b].toe)) / span;
            const float height = std::min(p[f].ankle.z, p[f].toe.z);
            planted[f] = height <= floor[f] + band && speed <= stillest;
        }
        plants[side] = Runs(planted, gap, shortest);
    }
    return FootContacts(std::move(plants), count, rate, LargestAnkleStep(points), jointStep);
}

}  // namespace tavrel

#include "motion/TransitionMatch.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "motion/GroundPlace.h"
#include "motion/Legs.h"

namespace tavrel {
namespace {

// The joint's position seen from the root's place: moved back and turned back.
rkVector FromPlace(const rkVector& p, const GroundPlace& place) {
    const float c = std::cos(-place.heading), s = std::sin(-place.heading);
    const float x = p.x - place.x, y = p.y - place.y;
    return {c * x - s * y, s * x + c * y, p.z};
}

// The summed square distance of two frames' joints (`stride` values each, a multiple of 8).
// Eight sums side by side let the compiler work on several joints at once.
float SquaredPoseDistance(const float* a, const float* b, int stride) {
    float lanes[8] = {};
    for (int k = 0; k < stride; k += 8) {
        for (int lane = 0; lane < 8; ++lane) {
            const float d = a[k + lane] - b[k + lane];
            lanes[lane] += d * d;
        }
    }
    float sum = 0.0f;
    for (float lane : lanes) sum += lane;
    return sum;
}

bool Comparable(CMotion& a, CMotion& b, std::string* why) {
    const auto fail = [why](const char* reason) {
        if (why) *why = reason;
        return false;
    };
    if (a.GetLength() < 1 || b.GetLength() < 1) return fail("a motion has no frames");
    const std::unique_ptr<CHTR> pa = a.GetPose(0), pb = b.GetPose(0);
    if (!pa || !pb) return fail("a motion's frames cannot be read");
    if (!CHTR::SameShape(pa->GetRoot(), pb->GetRoot()))
        return fail("the motions have different skeletons");
    return true;
}

}  // namespace

MatchPoses PosesForMatch(CMotion& motion, int first, int count) {
    MatchPoses poses;
    CHTR pose;
    for (int f = first; f < first + count; ++f) {
        if (!motion.CopyPoseTo(pose, f)) return {};
        const GroundPlace place = RootPlaceOf(pose.GetRoot());
        const std::vector<rkVector> joints = WorldJoints(pose.GetRoot());
        if (poses.joints == 0) poses.joints = int(joints.size());
        if (int(joints.size()) != poses.joints) return {};
        for (const rkVector& joint : joints) {
            const rkVector p = FromPlace(joint, place);
            poses.values.insert(poses.values.end(), {p.x, p.y, p.z});
        }
        poses.values.resize(size_t(f - first + 1) * poses.Stride(), 0.0f);
    }
    return poses;
}

TransitionPoint BestTransition(CMotion& a, CMotion& b, const MatchLimits& limits,
                               std::string* why) {
    if (!Comparable(a, b, why)) return {};
    const int lengthA = a.GetLength(), lengthB = b.GetLength();
    const int shortest = std::max(limits.minOverlap, 1);
    const int longest = std::min({limits.maxOverlap, lengthA, lengthB});
    if (longest < shortest) {
        if (why) *why = "the motions are shorter than the shortest overlap";
        return {};
    }
    // A's last `longest` frames against B's head: every overlap lies in both.
    const int tail = longest, reach = std::min(lengthB, std::max(limits.head, shortest));
    const MatchPoses pa = PosesForMatch(a, lengthA - tail, tail);
    const MatchPoses pb = PosesForMatch(b, 0, reach);
    if (pa.values.empty() || pb.values.empty() || pa.joints != pb.joints) {
        if (why) *why = "a motion's frames cannot be read";
        return {};
    }
    const int stride = pa.Stride();
    // Row i holds, for each of B's frames j, the summed distances along the overlap from A's
    // tail frame i and B's frame j to A's end; it is made from the row after it.
    std::vector<float> row(size_t(reach) + 1, 0.0f), next(size_t(reach) + 1, 0.0f);
    TransitionPoint best;
    float bestMean = std::numeric_limits<float>::infinity();
    for (int i = tail - 1; i >= 0; --i) {
        const float* poseA = &pa.values[size_t(i) * stride];
        for (int j = 0; j < reach; ++j)
            row[j] =
                SquaredPoseDistance(poseA, &pb.values[size_t(j) * stride], stride) + next[j + 1];
        const int overlap = tail - i;
        if (overlap >= shortest) {
            for (int j = 0; j + overlap <= reach; ++j) {
                const float mean = row[j] / float(overlap);
                if (mean < bestMean) best = {lengthA - overlap, j, overlap, 0.0f}, bestMean = mean;
            }
        }
        std::swap(row, next);
    }
    if (best.Found()) best.distance = std::sqrt(bestMean / float(pa.joints));
    return best;
}

float OverlapDistance(CMotion& a, CMotion& b, int outgoing, int incoming) {
    const int overlap = a.GetLength() - outgoing;
    if (!Comparable(a, b, nullptr) || outgoing < 0 || overlap < 1 || incoming < 0 ||
        incoming + overlap > b.GetLength())
        return std::numeric_limits<float>::infinity();
    const MatchPoses pa = PosesForMatch(a, outgoing, overlap);
    const MatchPoses pb = PosesForMatch(b, incoming, overlap);
    if (pa.values.empty() || pb.values.empty()) return std::numeric_limits<float>::infinity();
    const int stride = pa.Stride();
    float sum = 0.0f;
    for (int k = 0; k < overlap; ++k) {
        sum += SquaredPoseDistance(&pa.values[size_t(k) * stride], &pb.values[size_t(k) * stride],
                                   stride);
    }
    return std::sqrt(sum / float(overlap) / float(pa.joints));
}

}  // namespace tavrel

// Retargeting: the source's rest pose is lined up with ours, then every frame is carried over
// segment by segment and set on our ground.
#include "motion/SkeletonMapper.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "AnimRead/BVHRead/BVHRead.h"
#include "AnimRead/CHBRead/CHBRead.h"
#include "AnimRead/HTRRead/HTRRead.h"
#include "AnimRead/SceneFileRead/SceneFileRead.h"

namespace tavrel {
namespace {

// What a source needs so that a figure can be made of it.
constexpr int32_t kRequired[] = {kLowerTorso, kLThigh, kRThigh,  kLLowLeg, kRLowLeg,
                                 kLUpArm,     kRUpArm, kLLowArm, kRLowArm, kHead};
// The segment each bone points at in the standard skeleton, -1 for the ends.
constexpr int32_t kNextAlongBone[kStandardSegmentCount] = {
    kUpperTorso, kNeck,   kLThigh, kRThigh,  kLLowLeg, kRLowLeg, kLFoot, kRFoot, -1, -1,
    kHead,       kLUpArm, kRUpArm, kLLowArm, kRLowArm, kLHand,   kRHand, -1,     -1, -1};

// The signed unit axis closest to v.
rkVector NearestAxis(rkVector v) {
    const float a[3] = {std::fabs(v.x), std::fabs(v.y), std::fabs(v.z)};
    const auto axis = std::max_element(a, a + 3) - a;
    rkVector out{0, 0, 0};
    (&out.x)[axis] = (&v.x)[axis] < 0 ? -1.0f : 1.0f;
    return out;
}

// ---- Where the feet stand ----

constexpr float kNoHeight = 1e30f;

struct Stance {
    size_t foot = 0;    // 0 left, 1 right
    int64_t frame = 0;  // where that foot is lowest
};

// The foot that stands longest, by the frames in which it is within reach of the lowest either
// foot comes (both stand at rest; one stands while the other swings).
Stance LongestStanding(const std::vector<std::array<float, 2>>& footZ, float reach) {
    float lowest = kNoHeight;
    for (const auto& z : footZ) lowest = std::min({lowest, z[0], z[1]});
    Stance stance;
    size_t most = 0;
    for (size_t k = 0; k < 2; ++k) {
        size_t standing = 0;
        int64_t low = 0;
        for (size_t f = 0; f < footZ.size(); ++f) {
            if (footZ[f][k] <= lowest + reach) ++standing;
            if (footZ[f][k] < footZ[low][k]) low = static_cast<int64_t>(f);
        }
        if (standing > most) most = standing, stance = {k, low};
    }
    return stance;
}

// ---- The source's rest pose ----

// Each joint's local rest matrix: BVH offsets unturned, HTR base positions, else the first frame.
std::vector<rkMatrix> RestLocals(ANIMFILE& source) {
    const int32_t n = source.GetSegmentCount();
    std::vector<rkMatrix> rest(static_cast<size_t>(n));
    if (const auto* bvh = dynamic_cast<const BVHREAD*>(&source)) {
        for (int32_t i = 0; i < n; ++i) {
            rkIdentity(&rest[i]);
            const rkVector o = bvh->GetJoint(i).offset;
            rest[i].m[12] = o.x, rest[i].m[13] = o.y, rest[i].m[14] = o.z;
        }
        // The reader turns the root from Y-up; the rest pose turns with it.
        rkMatrix turn;
        rkRotationMatrix(&turn, 0, 90.0f * 0.017453292f);
        for (int32_t i = 0; i < n; ++i) {
            if (source.GetSegment(i)->parent < 0) rest[i] = rest[i] * turn;
        }
        return rest;
    }
    if (const auto* htr = dynamic_cast<const HTRREAD*>(&source)) {
        for (int32_t i = 0; i < n; ++i) rest[i] = htr->GetBaseMatrix(i);
        return rest;
    }
    // A scene file's nodes without their keys; other motions stand as in their first frame.
    const auto* scene = dynamic_cast<const SCENEFILEREAD*>(&source);
    for (int32_t i = 0; i < n; ++i)
        rest[i] = scene ? scene->GetRestMatrix(i) : source.GetSegment(i)->FrameAt(0);
    return rest;
}

// World matrices from local ones, parents first whatever the joint order.
std::vector<rkMatrix> WorldsOf(const ANIMFILE& motion, const std::vector<rkMatrix>& locals) {
    const auto n = static_cast<size_t>(motion.GetSegmentCount());
    std::vector<rkMatrix> world(n);
    std::vector<char> done(n, 0);
    std::vector<int32_t> chain;
    for (size_t i = 0; i < n; ++i) {
        chain.clear();
        for (int32_t at = static_cast<int32_t>(i); at >= 0 && !done[at] && chain.size() <= n;
             at = motion.GetSegment(at)->parent) {
            chain.push_back(at);
        }
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            const int32_t parent = motion.GetSegment(*it)->parent;
            world[*it] = parent >= 0 && done[parent] ? locals[*it] * world[parent] : locals[*it];
            done[*it] = 1;
        }
    }
    return world;
}

std::vector<rkMatrix> StandardRestWorld() {
    std::vector<rkMatrix> world(kStandardSegmentCount);
    for (int32_t i = 0; i < kStandardSegmentCount; ++i) {
        const float* e = kStandardSkeleton[i].pose;
        const rkMatrix local{
            {e[0], e[1], e[2], 0, e[3], e[4], e[5], 0, e[6], e[7], e[8], 0, e[9], e[10], e[11], 1}};
        const int parent = kStandardSkeleton[i].parent;
        world[i] = parent < 0 ? local : local * world[parent];
    }
    return world;
}

// The standard skeleton's segments as the joints of a source.
std::array<int32_t, kStandardSegmentCount> StandardJoints() {
    std::array<int32_t, kStandardSegmentCount> joints;
    for (int32_t s = 0; s < kStandardSegmentCount; ++s) joints[s] = s;
    return joints;
}

std::string UnitOf(float legLength, float* closeness) {
    // A grown-up's leg from hip to ankle is about 0.85 m.
    static constexpr std::pair<const char*, float> kUnits[] = {
        {"m", 0.85f}, {"dm", 8.5f}, {"inch", 33.5f}, {"cm", 85.0f}, {"mm", 850.0f}};
    const char* best = "m";
    float bestDistance = 1e30f;
    for (const auto& [name, leg] : kUnits) {
        const float distance = std::fabs(std::log(legLength / leg));
        if (distance < bestDistance) best = name, bestDistance = distance;
    }
    *closeness = bestDistance;
    return best;
}

// The next segment along a segment's bone that has a joint in the source (a spine without a neck
// runs on to the head), or -1.
int32_t NextMatched(const std::array<int32_t, kStandardSegmentCount>& joints, int32_t segment) {
    int32_t next = kNextAlongBone[segment];
    while (next >= 0 && joints[next] < 0) next = kNextAlongBone[next];
    return next;
}

// The joint a segment's bone reaches in the source: the joint of the next segment along it, else
// its first child; -1 when neither lies away from it in the rest pose.
int32_t BoneTip(const ANIMFILE& source, const std::array<int32_t, kStandardSegmentCount>& joints,
                const std::vector<rkMatrix>& restWorld, int32_t segment) {
    const int32_t joint = joints[segment];
    const rkVector from = rkOrigin(restWorld[joint]);
    const int32_t next = NextMatched(joints, segment);
    if (next >= 0 && rkLength(rkOrigin(restWorld[joints[next]]) - from) > 0) return joints[next];
    const ANIMSEG& seg = *source.GetSegment(joint);
    if (!seg.children.empty() && rkLength(rkOrigin(restWorld[seg.children.front()]) - from) > 0)
        return seg.children.front();
    return -1;
}

// Where a bone of the source points in its rest pose: to its tip joint, else to its BVH End Site.
std::optional<rkVector> SourceBone(const ANIMFILE& source, int32_t joint, int32_t tip,
                                   const std::vector<rkMatrix>& restWorld) {
    if (tip >= 0) return rkOrigin(restWorld[tip]) - rkOrigin(restWorld[joint]);
    if (const auto* bvh = dynamic_cast<const BVHREAD*>(&source);
        bvh && bvh->GetJoint(joint).endSite) {
        const rkVector d =
            rkTurned(*bvh->GetJoint(joint).endSite, rkRotationPart(restWorld[joint]));
        if (rkLength(d) > 0) return d;
    }
    return std::nullopt;
}

// Our bone in the segment's own frame: towards the next segment's joint (the y axis at the ends).
rkVector OurBone(int32_t segment) {
    const int32_t next = kNextAlongBone[segment];
    if (next < 0) return {0, 1, 0};
    const float* e = kStandardSkeleton[next].pose;
    const rkVector to{e[9], e[10], e[11]};
    return rkLength(to) > 0 ? rkNormalize(to) : rkVector{0, 1, 0};
}

// The turn swung so that the segment's bone points along bone; its twist stays. Captured joints
// drift apart and together, so a bone's direction is not its joint's turn alone.
rkMatrix Aimed(const rkMatrix& turn, int32_t segment, rkVector bone) {
    if (!(rkLength(bone) > 0)) return turn;
    return turn * rkArcRotation(rkTurned(OurBone(segment), turn), bone);
}

// For a segment without a joint of its own, the source joints its bone runs between: most rigs
// hang the thighs straight from the hips joint (where our pelvis bones are) and some the head
// from the chest (where our neck is). The bone starts at the parent segment's joint and ends at
// the next matched joint along, when that joint hangs from the parent's with no matched joint
// between; {-1, -1} otherwise, and the segment keeps its rest turn on its parent.
std::pair<int32_t, int32_t> Bridge(const ANIMFILE& source,
                                   const std::array<int32_t, kStandardSegmentCount>& joints,
                                   int32_t segment) {
    const int32_t parent = kStandardSkeleton[segment].parent;
    const int32_t next = NextMatched(joints, segment);
    if (joints[segment] >= 0 || parent < 0 || joints[parent] < 0 || next < 0) return {-1, -1};
    for (int32_t at = source.GetSegment(joints[next])->parent, steps = 0;
         at >= 0 && steps <= source.GetSegmentCount();
         at = source.GetSegment(at)->parent, ++steps) {
        if (std::find(joints.begin(), joints.end(), at) == joints.end()) continue;
        if (at == joints[parent]) return {at, joints[next]};
        break;
    }
    return {-1, -1};
}

float Cosine(rkVector a, rkVector b) {
    const float lengths = rkLength(a) * rkLength(b);
    return lengths > 0 ? rkDot(a, b) / lengths : 0.0f;
}

// Hip to knee to ankle; 0 when a joint is missing.
float LegLength(const std::vector<rkMatrix>& world,
                const std::array<int32_t, kStandardSegmentCount>& joints) {
    auto at = [&](int32_t s) { return rkOrigin(world[joints[s]]); };
    if (joints[kLFoot] < 0) return 2 * rkLength(at(kLLowLeg) - at(kLThigh));
    return rkLength(at(kLLowLeg) - at(kLThigh)) + rkLength(at(kLFoot) - at(kLLowLeg));
}

// The turn of the source's world into ours that stands its pose up along our up with its left on
// our left. Files are written along their axes: the source's up is the axis nearest its spine (a
// spine that leans must not tilt the floor). A pose taken from the frames may stand turned, so its
// left is taken along an axis too. None when the pose has no up or no left and right.
std::optional<rkMatrix> Alignment(const std::vector<rkMatrix>& world,
                                  const std::array<int32_t, kStandardSegmentCount>& joints,
                                  const std::vector<rkMatrix>& standard, bool axisLeft) {
    auto frameOf = [](rkVector up, rkVector left) -> std::optional<rkMatrix> {
        up = rkNormalize(up);
        left = rkReject(left, up);
        if (rkLength(left) < 1e-6f || rkLength(up) < 1e-6f) return std::nullopt;
        left = rkNormalize(left);
        return rkRows(left, up, rkCross(left, up));
    };
    auto at = [&](int32_t s) { return rkOrigin(world[joints[s]]); };
    const rkVector spine = at(kHead) - at(kLowerTorso);
    if (!(rkLength(spine) > 0)) return std::nullopt;
    const rkVector up = NearestAxis(spine);
    rkVector left = at(kLThigh) - at(kRThigh);
    if (axisLeft) {
        left = rkReject(left, up);
        if (!(rkLength(left) > 0)) return std::nullopt;
        left = NearestAxis(left);
    }
    const auto sourceFrame = frameOf(up, left);
    const auto ourFrame =
        frameOf({0, 0, 1}, rkOrigin(standard[kLThigh]) - rkOrigin(standard[kRThigh]));
    if (!sourceFrame || !ourFrame) return std::nullopt;
    return rkTransposed(*sourceFrame) * *ourFrame;
}

std::vector<rkMatrix> FrameLocals(const ANIMFILE& source, int64_t frame) {
    std::vector<rkMatrix> locals(static_cast<size_t>(source.GetSegmentCount()));
    for (int32_t i = 0; i < source.GetSegmentCount(); ++i)
        locals[i] = source.GetSegment(i)->FrameAt(frame);
    return locals;
}

// The frame that stands most like a rest pose: legs straightest, spine nearest an axis.
int64_t StandingFrame(const ANIMFILE& source,
                      const std::array<int32_t, kStandardSegmentCount>& joints) {
    const int64_t count = int64_t{source.GetEndFrame()} - source.GetBeginFrame() + 1;
    int64_t best = 0;
    float bestScore = -1e30f;
    for (int64_t f = 0; f < count; ++f) {
        const std::vector<rkMatrix> world = WorldsOf(source, FrameLocals(source, f));
        auto at = [&](int32_t s) { return rkOrigin(world[joints[s]]); };
        auto straightness = [&](int32_t thigh, int32_t knee, int32_t foot) {
            return joints[foot] < 0 ? 0.0f : Cosine(at(knee) - at(thigh), at(foot) - at(knee));
        };
        const rkVector spine = at(kHead) - at(kLowerTorso);
        const float score = straightness(kLThigh, kLLowLeg, kLFoot) +
                            straightness(kRThigh, kRLowLeg, kRFoot) +
                            std::fabs(Cosine(spine, NearestAxis(spine)));
        if (score > bestScore) best = f, bestScore = score;
    }
    return best;
}

}  // namespace

CSkeletonMapper::Result CSkeletonMapper::Map(ANIMFILE& source, const Overrides& overrides,
                                             int fps) {
    Result result;
    result.joints = Match(source, overrides);
    const auto& joints = result.joints;
    std::string missing;
    for (int32_t s : kRequired) {
        if (joints[s] < 0)
            missing += std::string(missing.empty() ? "" : ", ") + kStandardSkeleton[s].name;
    }
    if (!missing.empty()) {
        result.message = "not a human figure: no joint found for " + missing +
                         " (name the joints in a mapping file)";
        return result;
    }
    for (int32_t i = 0; i < source.GetSegmentCount(); ++i) {
        if (std::find(joints.begin(), joints.end(), i) == joints.end()) {
            result.unmapped.push_back(source.GetSegment(i)->name);
        }
    }
    try {
        source.GetFrame(source.GetBeginFrame());  // every frame in memory before the walk
    } catch (const ERROBJ& error) {
        result.message = std::string(error.GetText()) +
                         (error.detail[0] ? std::string(": ") + error.detail : "");
        return result;
    }

    // Line the two rest poses up: up along up, left along left. Some exporters leave the rest
    // pose flat and put every offset in the frames; then the frame that stands best is the rest.
    std::vector<rkMatrix> restWorld = WorldsOf(source, RestLocals(source));
    const std::vector<rkMatrix> standard = StandardRestWorld();
    std::optional<rkMatrix> found = Alignment(restWorld, joints, standard, false);
    if (!found || !(LegLength(restWorld, joints) > 0)) {
        restWorld = WorldsOf(source, FrameLocals(source, StandingFrame(source, joints)));
        found = Alignment(restWorld, joints, standard, true);
    }
    if (!found) {
        result.message = "not a human figure: its rest pose has no up and no left and right";
        return result;
    }
    const rkMatrix align = *found;  // source world -> ours
    const rkMatrix alignBack = rkTransposed(align);
    result.align = align;
    const rkVector up = rkTurned({0, 0, 1}, alignBack);  // the source's up in the motion's world
    // Our readers turn Y-up files to Z-up (file y is our z, file z our -y); others keep theirs.
    const bool turnedOnRead =
        dynamic_cast<const BVHREAD*>(&source) || dynamic_cast<const HTRREAD*>(&source);
    const float inFile[3] = {std::fabs(up.x), std::fabs(turnedOnRead ? up.z : up.y),
                             std::fabs(turnedOnRead ? up.y : up.z)};
    result.upAxis = "XYZ"[std::max_element(inFile, inFile + 3) - inFile];

    // Lengths: our leg over theirs.
    const float sourceLeg = LegLength(restWorld, joints);
    const float ourLeg = LegLength(standard, StandardJoints());
    if (!(sourceLeg > 0)) {
        result.message = "not a human figure: its legs have no length";
        return result;
    }
    result.scale = ourLeg / sourceLeg;
    float closeness = 0;
    result.unit = UnitOf(sourceLeg, &closeness);

    // Per segment: carry = our rest x (our bone onto theirs) x (their rest undone), in our world.
    std::array<rkMatrix, kStandardSegmentCount> carry;
    std::array<int32_t, kStandardSegmentCount> tips;
    tips.fill(-1);
    for (int32_t s = 0; s < kStandardSegmentCount; ++s) {
        if (joints[s] < 0) continue;
        const rkMatrix ourRest = rkRotationPart(standard[s]);
        rkMatrix onto = rkRows({1, 0, 0}, {0, 1, 0}, {0, 0, 1});
        tips[s] = BoneTip(source, joints, restWorld, s);
        if (const auto bone = SourceBone(source, joints[s], tips[s], restWorld)) {
            onto = rkArcRotation(rkTurned(OurBone(s), ourRest), rkTurned(*bone, align));
        }
        carry[s] = ourRest * onto * alignBack * rkTransposed(rkRotationPart(restWorld[joints[s]]));
    }
    std::array<std::pair<int32_t, int32_t>, kStandardSegmentCount> bridges;
    for (int32_t s = 0; s < kStandardSegmentCount; ++s) bridges[s] = Bridge(source, joints, s);

    // Every source frame's world pose, then ours.
    const int32_t first = source.GetBeginFrame(), last = source.GetEndFrame();
    const int64_t count = int64_t{last} - first + 1;
    std::vector<std::array<rkMatrix, kStandardSegmentCount>> worlds(static_cast<size_t>(count));
    std::vector<std::array<rkVector, kStandardSegmentCount>> bridged(static_cast<size_t>(count));
    std::vector<rkVector> rootAt(static_cast<size_t>(count));
    // The joints that find the ground, and their heights in every frame.
    const bool withFeet = joints[kLFoot] >= 0;
    const std::array<int32_t, 2> feet{withFeet ? kLFoot : kLLowLeg, withFeet ? kRFoot : kRLowLeg};
    std::vector<std::array<float, 2>> footZ(static_cast<size_t>(count));
    for (int64_t f = 0; f < count; ++f) {
        const std::vector<rkMatrix> world = WorldsOf(source, FrameLocals(source, f));
        auto along = [&](int32_t from, int32_t to) {
            return rkTurned(rkOrigin(world[to]) - rkOrigin(world[from]), align);
        };
        for (int32_t s = 0; s < kStandardSegmentCount; ++s) {
            if (bridges[s].first >= 0) bridged[f][s] = along(bridges[s].first, bridges[s].second);
            if (joints[s] < 0) continue;
            const rkMatrix turn = carry[s] * rkRotationPart(world[joints[s]]) * align;
            worlds[f][s] = tips[s] < 0 ? turn : Aimed(turn, s, along(joints[s], tips[s]));
        }
        rootAt[f] = rkTurned(rkOrigin(world[joints[kLowerTorso]]), align);
        for (size_t k = 0; k < 2; ++k) {
            const int32_t joint = joints[feet[k]];
            footZ[f][k] = joint >= 0 ? rkTurned(rkOrigin(world[joint]), align).z : kNoHeight;
        }
    }
    const float ourGround = std::min(standard[kLFoot].m[14], standard[kRFoot].m[14]);

    std::unique_ptr<ANIMFILE> motion = std::make_unique<CHBREAD>();
    const Stance stance = LongestStanding(footZ, 0.03f * sourceLeg);
    const float ground = footZ[stance.frame][stance.foot];
    float groundedAt = 0;  // our standing foot where the source's is lowest
    for (int64_t f = 0; f < count; ++f) {
        std::array<rkMatrix, kStandardSegmentCount> world;
        std::array<rkVector, kStandardSegmentCount> at;
        for (int32_t s = 0; s < kStandardSegmentCount; ++s) {
            const float* e = kStandardSkeleton[s].pose;
            const rkMatrix restLocal{
                {e[0], e[1], e[2], 0, e[3], e[4], e[5], 0, e[6], e[7], e[8], 0, 0, 0, 0, 1}};
            const int parent = kStandardSkeleton[s].parent;
            const rkMatrix parentWorld =
                parent < 0 ? rkRows({1, 0, 0}, {0, 1, 0}, {0, 0, 1}) : world[parent];
            world[s] =
                joints[s] >= 0 ? worlds[f][s] : Aimed(restLocal * parentWorld, s, bridged[f][s]);
            rkMatrix local = world[s] * rkTransposed(parentWorld);
            local.m[12] = e[9], local.m[13] = e[10], local.m[14] = e[11];
            if (parent < 0) {
                const rkVector moved = rootAt[f] - rootAt[0];
                local.m[12] = e[9] + moved.x * result.scale;
                local.m[13] = e[10] + moved.y * result.scale;
                local.m[14] = ourGround + (rootAt[f].z - ground) * result.scale;
            }
            motion->GetSegment(s)->node->local = local;
            at[s] =
                parent < 0 ? rkOrigin(local) : at[parent] + rkTurned(rkOrigin(local), parentWorld);
        }
        if (f == stance.frame) groundedAt = at[feet[stance.foot]].z;
        motion->SetFrame(nullptr, static_cast<int32_t>(f));
    }
    // Our legs hang from the hips otherwise than the source's (and ours are not of one length):
    // the source's standing foot, where it is lowest, is ours on our ground.
    for (rkMatrix& m : motion->GetSegment(kLowerTorso)->frames) m.m[14] += ourGround - groundedAt;
    motion->SetFrameRate(source.GetFrameRate());
    if (fps > 0 && fps != source.GetFrameRate()) motion = Resampled(*motion, fps);
    if (!motion) result.message = "its frame rate is no number of frames a second";
    result.motion = std::move(motion);
    return result;
}

}  // namespace tavrel

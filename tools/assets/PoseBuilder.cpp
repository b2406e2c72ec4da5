#include "tools/assets/PoseBuilder.h"

#include "tools/assets/Rotation.h"

namespace tavrel::assets {
namespace {

rkMatrix RestLocal(const StandardSegment& s) {
    const float* p = s.pose;
    return rkMatrix{
        {p[0], p[1], p[2], 0, p[3], p[4], p[5], 0, p[6], p[7], p[8], 0, p[9], p[10], p[11], 1}};
}

RestPose MakeRest() {
    RestPose rest;
    for (int i = 0; i < kStandardSegmentCount; ++i) rest.local[i] = RestLocal(kStandardSkeleton[i]);
    rest.world = WorldsOf(rest.local);
    return rest;
}

}  // namespace

const RestPose& Rest() {
    static const RestPose rest = MakeRest();
    return rest;
}

SkeletonMatrices WorldsOf(const SkeletonMatrices& local) {
    SkeletonMatrices world;
    for (int i = 0; i < kStandardSegmentCount; ++i) {
        const int parent = kStandardSkeleton[i].parent;
        world[i] = parent < 0 ? local[i] : local[i] * world[parent];
    }
    return world;
}

void PoseBuilder::Reset() {
    for (rkMatrix& j : joint_) rkIdentity(&j);
    offset_ = {0, 0, 0};
}

void PoseBuilder::Turn(int segment, int axis, float degrees) {
    joint_[segment] = joint_[segment] * Rotation(axis, degrees);
}

SkeletonMatrices PoseBuilder::Locals() const {
    const RestPose& rest = Rest();
    SkeletonMatrices local;
    for (int i = 0; i < kStandardSegmentCount; ++i) {
        // Conjugating by the rest orientation turns a rotation about world axes into one
        // about the segment's own axes: the segment's world rotation becomes rest x joint.
        const rkMatrix restRotation = rkRotationPart(rest.world[i]);
        const rkMatrix own = restRotation * joint_[i] * Inverse(restRotation);
        local[i] = own * rest.local[i];
        SetTranslation(&local[i], rkOrigin(rest.local[i]));
    }
    SetTranslation(&local[kLowerTorso], rkOrigin(rest.local[kLowerTorso]) + offset_);
    return local;
}

}  // namespace tavrel::assets

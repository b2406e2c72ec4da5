#pragma once
// Poses of the standard skeleton made from joint angles. Every joint turns about the axes of
// the world as they stand in the rest pose (x: the figure's left, -y: forward, z: up), taken
// relative to its parent, so that "bend the knee by 40 degrees" means the same for every
// pose of the thigh. Turns given to one joint apply in the order they are given.
#include <array>

#include "AnimRead/StandardSkeleton.h"
#include "ZU2/rkMath.h"

namespace tavrel::assets {

using Segment = StandardSegmentId;

enum Axis : int { kX = 0, kY = 1, kZ = 2 };

using SkeletonMatrices = std::array<rkMatrix, kStandardSegmentCount>;

// The rest pose: local and world matrices of every segment.
struct RestPose {
    SkeletonMatrices local;
    SkeletonMatrices world;
};
const RestPose& Rest();
// World matrices from local ones, parents before children as the table orders them.
SkeletonMatrices WorldsOf(const SkeletonMatrices& local);

class PoseBuilder {
public:
    PoseBuilder() { Reset(); }

    void Reset();
    // Adds a turn of the joint about a rest-world axis, after the turns it already has.
    void Turn(int segment, int axis, float degrees);
    // Moves the whole figure (the root's translation) by an offset.
    void Move(rkVector offset) {
        offset_ = {offset_.x + offset.x, offset_.y + offset.y, offset_.z + offset.z};
    }
    rkVector Offset() const { return offset_; }

    SkeletonMatrices Locals() const;

private:
    std::array<rkMatrix, kStandardSegmentCount> joint_;
    rkVector offset_{};
};

}  // namespace tavrel::assets

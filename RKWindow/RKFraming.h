#pragma once
// The room the avatar takes around its root, and how far a camera must stand back to see all
// of it: the presets and the "frame the avatar" key both place the eye by it.
#include "ZU2/rkMath.h"
#include "ZU2/rkNode.h"

namespace tavrel {

class RKFraming {
public:
    // Measures the visuals under root in their current pose, relative to root's position.
    // An avatar without shapes leaves the framing empty.
    static RKFraming Measure(rkNode* root);

    bool IsEmpty() const { return empty_; }
    // Middle of the box, relative to the root.
    rkVector Centre() const;
    // How far in front of pivot (relative to the root) an eye looking along direction must
    // stand so that the whole box shows with a margin in a window of the given aspect
    // (height / width).
    float Distance(const rkVector& pivot, const rkVector& direction, const rkVector& up,
                   float fieldOfView, float aspect, float nearPlane) const;

private:
    bool empty_ = true;
    rkVector low_{0, 0, 0};
    rkVector high_{0, 0, 0};
};

}  // namespace tavrel

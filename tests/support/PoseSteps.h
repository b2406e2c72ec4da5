#pragma once
// How far a pose's joints move to the next pose, found node by node from each world matrix:
// an independent check of the steps the mix and the foot finder work out for themselves.
#include <algorithm>

#include "motion/Legs.h"

namespace tavrel::testing {

// The largest distance any joint moves from pose a to pose b (trees of the same shape).
inline float LargestNodeStep(const rkNode* a, const rkNode* b) {
    float most = rkLength(rkOrigin(WorldOf(a)) - rkOrigin(WorldOf(b)));
    for (a = a->child, b = b->child; a && b; a = a->next, b = b->next)
        most = std::max(most, LargestNodeStep(a, b));
    return most;
}

}  // namespace tavrel::testing

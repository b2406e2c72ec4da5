#pragma once
// Mixes poses segment by segment: rotations by slerp, translations linearly.
#include <memory>

#include "ZU2/rkMath.h"
#include "motion/Chtr.h"

namespace tavrel {

class CPoseBlender {
public:
    // A new pose of A's shape and names; weight is A's share. None when A or B is missing.
    std::unique_ptr<CHTR> Blend(const CHTR* a, const CHTR* b, float weight) const;
    // The same into an existing tree of A's shape; allocates nothing.
    static void BlendInto(const rkNode* a, const rkNode* b, float weight, rkNode* result);

    // Blends count matrices with count - 1 weights: weights[k] is the share of matrices[k],
    // the last matrix takes the rest.
    static void BlendMatrices(const rkMatrix* const* matrices, int count, const float* weights,
                              rkMatrix* out);
    // The two-matrix case: weight is the share of a.
    static void BlendTwo(const rkMatrix& a, const rkMatrix& b, float weight, rkMatrix* out);
};

}  // namespace tavrel

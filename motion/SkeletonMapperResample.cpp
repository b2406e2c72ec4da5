// A mapped motion at another frame rate.
#include <algorithm>
#include <cmath>

#include "AnimRead/CHBRead/CHBRead.h"
#include "motion/Quaternion.h"
#include "motion/SkeletonMapper.h"

namespace tavrel {

std::unique_ptr<ANIMFILE> CSkeletonMapper::Resampled(const ANIMFILE& motion, int fps) {
    if (motion.GetFrameRate() < 1 || fps < 1) return nullptr;
    const int64_t count = int64_t{motion.GetEndFrame()} - motion.GetBeginFrame() + 1;
    const double step =
        static_cast<double>(motion.GetFrameRate()) / fps;  // source frames per frame
    const auto frames = static_cast<int64_t>(std::floor((count - 1) / step + 1e-9)) + 1;
    auto out = std::make_unique<CHBREAD>();
    for (int64_t k = 0; k < frames; ++k) {
        const double t = std::min(k * step, static_cast<double>(count - 1));
        const auto i = static_cast<int64_t>(t);
        const int64_t j = std::min(i + 1, count - 1);
        const auto u = static_cast<float>(t - static_cast<double>(i));
        for (int32_t s = 0; s < kStandardSegmentCount; ++s) {
            const rkMatrix& a = motion.GetSegment(s)->FrameAt(i);
            const rkMatrix& b = motion.GetSegment(s)->FrameAt(j);
            rkMatrix& m = out->GetSegment(s)->node->local;
            QuatToMatrix(Slerp(MatrixToQuat(a), MatrixToQuat(b), u), &m);
            for (int e = 12; e < 15; ++e) m.m[e] = a.m[e] + (b.m[e] - a.m[e]) * u;
        }
        out->SetFrame(nullptr, static_cast<int32_t>(k));
    }
    out->SetFrameRate(fps);
    return out;
}

}  // namespace tavrel

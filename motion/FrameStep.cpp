#include "motion/FrameStep.h"

#include <algorithm>
#include <cstdint>

namespace tavrel {

int NextFrameAtRate(int frame, int rate, int intervalMs, int first, int last, double* carry) {
    if (frame >= last) {
        *carry = 0;
        return first;
    }
    const double step = std::max(rate, 1) * std::max(intervalMs, 0) / 1000.0 + *carry;
    const auto whole = static_cast<int64_t>(step);
    *carry = step - static_cast<double>(whole);
    return static_cast<int>(std::min<int64_t>(int64_t{frame} + whole, last));
}

}  // namespace tavrel

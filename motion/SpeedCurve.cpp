#include "motion/SpeedCurve.h"

#include <cstdint>

namespace tavrel {
namespace {

constexpr std::string_view kNames[] = {"none", "in", "out", "both"};
static_assert(sizeof(kNames) / sizeof(kNames[0]) == kSpeedCurveCount);

// Progress of the source for progress x of the played motion, both 0 to 1. Closed forms in
// double: a search for the value would let neighbouring frames of a long clip step backwards.
double Progress(SpeedCurve curve, double x) {
    switch (curve) {
        case kSpeedEaseIn:
            return x * x;
        case kSpeedEaseOut:
            return x * (2.0 - x);
        case kSpeedEaseBoth:
            return x * x * (3.0 - 2.0 * x);
        default:
            return x;
    }
}

}  // namespace

std::string_view SpeedCurveName(SpeedCurve curve) {
    return curve < kSpeedCurveCount ? kNames[curve] : std::string_view();
}

std::optional<SpeedCurve> SpeedCurveNamed(std::string_view name) {
    for (uint8_t i = 0; i < kSpeedCurveCount; ++i) {
        if (kNames[i] == name) return SpeedCurve(i);
    }
    return std::nullopt;
}

double SourcePosition(SpeedCurve curve, int k, int newLength, int sourceLength) {
    if (newLength < 2 || sourceLength < 2) return 0.0;
    const int last = sourceLength - 1;
    if (k <= 0) return 0.0;
    if (k >= newLength - 1) return last;
    if (curve == kSpeedConstant || curve >= kSpeedCurveCount) {
        return double(int64_t(k) * last) / double(newLength - 1);
    }
    return last * Progress(curve, double(k) / double(newLength - 1));
}

}  // namespace tavrel

#include "AnimRead/SceneFileRead/Track.h"

#include "AnimRead/SceneFileRead/CubicSpan.h"
#include "AnimRead/SceneFileRead/SceneFileRead.h"

namespace tavrel::scenefile {

aiMatrix4x4 TRACK::LocalAt(double ticks, const aiVector3D& scale, const aiQuaternion& rotation,
                           const aiVector3D& position) const {
    return aiMatrix4x4(scales.empty() ? scale : ValueAt(scales, ticks, stepScales),
                       rotations.empty() ? rotation : ValueAt(rotations, ticks, stepRotations),
                       positions.empty() ? position : ValueAt(positions, ticks, stepPositions));
}

bool Finite(const aiVector3D& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

bool Finite(const aiQuaternion& q) {
    return std::isfinite(q.w) && std::isfinite(q.x) && std::isfinite(q.y) && std::isfinite(q.z) &&
           q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z > 1e-12f;
}

bool Finite(const aiMatrix4x4& m) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            if (!std::isfinite(m[r][c])) return false;
        }
    }
    return true;
}

void CubicAt(const std::vector<float>& times, const std::vector<float>& keys, int n, double t,
             float* out) {
    const size_t last = times.size() - 1;
    size_t k = size_t(std::upper_bound(times.begin(), times.end(), float(t)) - times.begin());
    k = k == 0 ? 0 : std::min(k - 1, last);
    const float* v0 = &keys[(3 * k + 1) * size_t(n)];
    if (k == last || t <= times[k]) {
        std::copy(v0, v0 + n, out);
        return;
    }
    const float* b0 = &keys[(3 * k + 2) * size_t(n)];
    const float* a1 = &keys[(3 * k + 3) * size_t(n)];
    const float* v1 = &keys[(3 * k + 4) * size_t(n)];
    for (int c = 0; c < n; ++c) {
        const auto span = CUBICSPAN::Hermite(times[k], v0[c], b0[c], times[k + 1], v1[c], a1[c]);
        out[c] = float(span.ValueAt(t));
    }
}

std::vector<double> SampleTimes(std::vector<double> keys) {
    constexpr double kRate = SCENEFILEREAD::kSampleRate;
    constexpr double kLongest = double(SCENEFILEREAD::kMaxFrames) / kRate;  // seconds
    std::sort(keys.begin(), keys.end());
    if (keys.empty() || keys.back() - keys.front() > kLongest) return {};
    const double first = keys.front(), last = keys.back();
    for (double f = std::ceil(first * kRate); f <= last * kRate; ++f) keys.push_back(f / kRate);
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    return keys;
}

}  // namespace tavrel::scenefile

#pragma once
// A node's keys in one take as the importer hands them over, and the values between them:
// positions and scales along straight lines, rotations along the sphere, steps held. Also the
// file's own splines, and the times at which its curves are made again as keys.
#include <assimp/types.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace tavrel::scenefile {

template <typename T>
struct KEY {
    double time;  // in the take's ticks
    T value;
};

// One node's keys in one take, checked and in time order; a step holds each key until the next.
struct TRACK {
    std::vector<KEY<aiVector3D>> positions, scales;
    std::vector<KEY<aiQuaternion>> rotations;
    bool stepPositions = false, stepRotations = false, stepScales = false;

    // The node's local matrix at a time: what it has no keys of stays as given.
    aiMatrix4x4 LocalAt(double ticks, const aiVector3D& scale, const aiQuaternion& rotation,
                        const aiVector3D& position) const;
};

bool Finite(const aiVector3D& v);
// Also false for a rotation too short to be made one of unit length.
bool Finite(const aiQuaternion& q);
bool Finite(const aiMatrix4x4& m);

inline void Blend(aiVector3D& out, const aiVector3D& a, const aiVector3D& b, float t) {
    out = a + (b - a) * t;
}
inline void Blend(aiQuaternion& out, const aiQuaternion& a, const aiQuaternion& b, float t) {
    aiQuaternion::Interpolate(out, a, b, t);  // along the shorter arc
}

// The value of keys at a time: held before the first and after the last key, blended between
// them or, for steps, held.
template <typename T>
T ValueAt(const std::vector<KEY<T>>& keys, double time, bool step) {
    // Key times went through floats: a frame that falls on a key takes the key's value.
    if (step) time += std::fabs(time) * 1e-6;
    if (time <= keys.front().time) return keys.front().value;
    if (time >= keys.back().time) return keys.back().value;
    const auto next = std::upper_bound(keys.begin(), keys.end(), time,
                                       [](double t, const KEY<T>& key) { return t < key.time; });
    const auto& b = *next;
    const auto& a = *(next - 1);
    const double span = b.time - a.time;
    T out = a.value;
    if (span > 0 && !step) Blend(out, a.value, b.value, static_cast<float>((time - a.time) / span));
    return out;
}

// A cubic spline at a time, laid out as glTF writes one: each key is an in-tangent, a value and
// an out-tangent of n components; the curve is Hermite's between keys, its tangents scaled by
// the keys' distance.
void CubicAt(const std::vector<float>& times, const std::vector<float>& keys, int n, double t,
             float* out);

// The times in seconds at which a curve of the file is made again as keys: its own keys and
// every frame the take is sampled at between them. Empty for no keys, or keys further apart
// than the longest take.
std::vector<double> SampleTimes(std::vector<double> keys);

}  // namespace tavrel::scenefile

#include "AnimRead/SceneFileRead/FollowFbx.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "AnimRead/SceneFileRead/FbxFile.h"
#include "AnimRead/SceneFileRead/Scene.h"

namespace tavrel::scenefile {
namespace {

using SCENE = SCENEFILEREAD::SCENE;

// A curve of the file as CubicAt reads a spline: per key its arriving slope, value and
// leaving slope.
struct SPLINE {
    std::vector<float> times, keys;
    explicit SPLINE(const FBXFILE::CURVE& curve) : times(curve.times.begin(), curve.times.end()) {
        for (size_t k = 0; k < curve.values.size(); ++k) {
            keys.insert(keys.end(),
                        {k ? curve.nextLeft[k - 1] : 0.0f, curve.values[k], curve.right[k]});
        }
    }
    bool HasKeyAt(double t) const {
        const double tolerance = 1e-6 * (1 + std::fabs(t));  // the times went through floats
        const auto at = std::lower_bound(times.begin(), times.end(), t - tolerance,
                                         [](float key, double time) { return key < time; });
        return at != times.end() && *at <= t + tolerance;
    }
};

bool Near(const aiVector3D& a, const aiVector3D& b) {
    return (a - b).Length() <= 1e-3f * (1 + b.Length());
}
bool Near(const aiQuaternion& a, const aiQuaternion& b) {
    return std::fabs(a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w) >= 1 - 1e-6f;
}

// Keys made again from the file's smooth X, Y and Z curves at every frame and at the file's
// keys, but only where the importer's keys agree with the curves at the file's keys: where they
// do not, the importer moved part of the motion (pivots, pre-rotations) onto other nodes.
template <typename T, typename Value>
void FollowSmooth(const std::array<FBXFILE::CURVE, 3>& curves, double ticksPerSecond,
                  const Value& valueOf, std::vector<KEY<T>>& keys) {
    const std::array<SPLINE, 3> splines{SPLINE(curves[0]), SPLINE(curves[1]), SPLINE(curves[2])};
    const auto value = [&](double t) {
        float v[3];
        for (size_t a = 0; a < 3; ++a) CubicAt(splines[a].times, splines[a].keys, 1, t, &v[a]);
        return valueOf(aiVector3D(v[0], v[1], v[2]));
    };
    const auto keyed = [&](double t) {
        return std::all_of(splines.begin(), splines.end(),
                           [t](const SPLINE& s) { return s.HasKeyAt(t); });
    };
    size_t agreed = 0;
    for (const KEY<T>& key : keys) {
        const double t = key.time / ticksPerSecond;
        if (!keyed(t)) continue;
        if (!Near(key.value, value(t))) return;
        ++agreed;
    }
    std::vector<double> times;
    for (const SPLINE& s : splines) times.insert(times.end(), s.times.begin(), s.times.end());
    const std::vector<double> at = SampleTimes(std::move(times));
    if (agreed == 0 || at.empty()) return;
    std::vector<KEY<T>> made;
    for (const double t : at) {
        made.push_back({t * ticksPerSecond, value(t)});
        if (!Finite(made.back().value)) return;
    }
    keys = std::move(made);
}

// A turn from Euler angles in degrees, composed in the file's order (0 XYZ: X first).
aiQuaternion Turn(const aiVector3D& degrees, int order) {
    static constexpr int kOrders[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 2, 0},
                                          {1, 0, 2}, {2, 0, 1}, {2, 1, 0}};
    static const aiVector3D kAxes[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    aiQuaternion q;
    for (const int a : kOrders[order])
        q = aiQuaternion(kAxes[a], degrees[a] * float(M_PI / 180)) * q;
    return q;
}

void FollowSmoothKeys(const FBXFILE::SMOOTH& smooth, double ticksPerSecond, TRACK& track) {
    if (smooth.hasPositions) {
        const auto place = [](const aiVector3D& v) { return v; };
        FollowSmooth(smooth.positions, ticksPerSecond, place, track.positions);
    }
    if (smooth.hasRotations && smooth.rotationOrder >= 0 && smooth.rotationOrder < 6) {
        const auto turn = [&](const aiVector3D& v) { return Turn(v, smooth.rotationOrder); };
        FollowSmooth(smooth.rotations, ticksPerSecond, turn, track.rotations);
    }
}

// The file's words on a take's models, by model name.
template <class Words>
using BYMODEL = std::unordered_map<std::string, Words>;

void FollowTake(const SCENE& scene, const BYMODEL<FBXFILE::STEPS>& steps,
                const BYMODEL<FBXFILE::SMOOTH>* smooth, SCENE::ANIM& anim) {
    for (auto& [node, track] : anim.tracks) {
        const std::string& name = scene.nodes[size_t(node)].name;
        const std::string model = name.substr(0, name.find(std::string("_") + SCENE::kHelperMark));
        const auto step = steps.find(model);
        if (step == steps.end()) continue;
        track.stepPositions = step->second.positions;
        track.stepRotations = step->second.rotations;
        track.stepScales = step->second.scales;
        if (!smooth) continue;
        const auto found = smooth->find(model);
        if (found != smooth->end()) FollowSmoothKeys(found->second, anim.ticksPerSecond, track);
    }
}

}  // namespace

void FollowFbx(SCENEFILEREAD::SCENE& scene, const char* path) {
    const FBXFILE file = ReadFbxFile(path);
    for (SCENE::ANIM& anim : scene.anims) {
        const auto steps = file.steps.find(anim.take.name);
        const auto smooth = file.smooth.find(anim.take.name);
        if (steps == file.steps.end()) continue;
        FollowTake(scene, steps->second, smooth == file.smooth.end() ? nullptr : &smooth->second,
                   anim);
    }
}

}  // namespace tavrel::scenefile

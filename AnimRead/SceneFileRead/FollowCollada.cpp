#include "AnimRead/SceneFileRead/FollowCollada.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <unordered_set>

#include "AnimRead/SceneFileRead/ColladaFile.h"
#include "AnimRead/SceneFileRead/Imported.h"
#include "AnimRead/SceneFileRead/Scene.h"

namespace tavrel::scenefile {
namespace {

using SCENE = SCENEFILEREAD::SCENE;
using CURVES = std::vector<const COLLADAFILE::CURVE*>;
using ELEMENTS = std::vector<COLLADAFILE::CURVEDNODE::ELEMENT>;

// The COLLADA importer names each take after the file's first one as well ("Walk_Walk",
// "Walk_Run"); the takes get their own names back.
void UnprefixTakes(SCENE& scene) {
    if (scene.anims.empty()) return;
    const std::string& first = scene.anims.front().take.name;
    const size_t half = first.size() / 2;
    if (first.size() % 2 == 0 || first[half] != '_' || first.compare(0, half, first, half + 1) != 0)
        return;
    const std::string prefix = first.substr(0, half + 1);
    for (const SCENE::ANIM& anim : scene.anims) {
        if (anim.take.name.size() <= prefix.size() || !anim.take.name.starts_with(prefix)) return;
    }
    for (SCENE::ANIM& anim : scene.anims) anim.take.name.erase(0, prefix.size());
}

// Every take's keys of the named nodes are held until the next.
void HoldSteps(SCENE& scene, const std::unordered_set<std::string>& names) {
    for (SCENE::ANIM& anim : scene.anims) {
        for (auto& [node, track] : anim.tracks) {
            if (names.count(scene.nodes[node].name))
                track.stepPositions = track.stepRotations = track.stepScales = true;
        }
    }
}

// The node's matrix made of its elements with the curves at a time.
bool MatrixAt(const ELEMENTS& elements, const CURVES& curves, double seconds, aiMatrix4x4* m) {
    std::array<double, 16> at;
    if (!COLLADAFILE::CURVEDNODE::MatrixAt(elements, curves, seconds, &at)) return false;
    for (int i = 0; i < 16; ++i) (&m->a1)[i] = float(at[size_t(i)]);
    return Finite(*m);
}

// Whether every curve has a key at the time.
bool AllKeyed(const CURVES& curves, double t) {
    return std::all_of(curves.begin(), curves.end(), [t](const COLLADAFILE::CURVE* curve) {
        const auto at = std::lower_bound(curve->times.begin(), curve->times.end(), t - 1e-6);
        return at != curve->times.end() && std::fabs(*at - t) <= 1e-6;
    });
}

bool Near(const aiMatrix4x4& ours, const aiMatrix4x4& theirs) {
    for (int r = 0; r < 3; ++r) {
        const float reach = 1e-3f * (1 + std::fabs(theirs[r][3]));
        if (std::fabs(ours[r][3] - theirs[r][3]) > reach) return false;
        for (int c = 0; c < 3; ++c) {
            if (std::fabs(ours[r][c] - theirs[r][c]) > 1e-3f) return false;
        }
    }
    return true;
}

// Whether the curves make the importer's pose at the times every curve has a key (between them
// the importer draws straight lines), a file laid out in a way not foreseen failing it.
bool AgreeAtKeys(const SCENE::NODE& node, const ELEMENTS& elements, const CURVES& curves,
                 const std::vector<double>& keys, double ticksPerSecond, const TRACK& track) {
    size_t checked = 0;
    for (const double t : keys) {
        if (!AllKeyed(curves, t)) continue;
        const double ticks = t * ticksPerSecond;
        const aiMatrix4x4 theirs = track.LocalAt(ticks, node.scale, node.rotation, node.position);
        aiMatrix4x4 ours;
        if (!MatrixAt(elements, curves, t, &ours) || !Near(ours, theirs)) return false;
        ++checked;
    }
    return checked > 0;
}

// The node's keys at the times, made of its elements and curves; false for a pose that is no
// number.
bool MakeKeys(const ELEMENTS& elements, const CURVES& curves, const std::vector<double>& at,
              double ticksPerSecond, TRACK* made) {
    for (const double t : at) {
        aiMatrix4x4 m;
        if (!MatrixAt(elements, curves, t, &m)) return false;
        aiVector3D scale, position;
        aiQuaternion rotation;
        m.Decompose(scale, rotation, position);
        if (!Finite(rotation)) return false;
        made->positions.push_back({t * ticksPerSecond, position});
        made->rotations.push_back({t * ticksPerSecond, rotation.Normalize()});
        made->scales.push_back({t * ticksPerSecond, scale});
    }
    return true;
}

// False, leaving the track as it is, when the curves do not make the importer's keys.
bool FollowCurves(const SCENE::NODE& node, const ELEMENTS& elements, const CURVES& curves,
                  double ticksPerSecond, TRACK& track) {
    std::vector<double> keys;  // seconds
    for (const auto* curve : curves)
        keys.insert(keys.end(), curve->times.begin(), curve->times.end());
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    const std::vector<double> at = SampleTimes(keys);
    TRACK made;
    if (at.empty() || !AgreeAtKeys(node, elements, curves, keys, ticksPerSecond, track) ||
        !MakeKeys(elements, curves, at, ticksPerSecond, &made))
        return false;
    track = std::move(made);
    return true;
}

// The importer keeps only the key values of COLLADA's curved keys, drawing straight lines
// between them: the keys of each curved node (named by its id) are made again at every frame
// from its transform elements, where they agree with the importer's at the file's keys.
void FollowCurvedNodes(SCENE& scene,
                       const std::unordered_map<std::string, COLLADAFILE::CURVEDNODE>& curved) {
    for (const auto& [id, node] : curved) {
        const int32_t found = scene.Find(id);
        if (found < 0) continue;
        const auto choices = node.Choices();
        for (SCENE::ANIM& anim : scene.anims) {
            const auto track = anim.tracks.find(found);
            if (track == anim.tracks.end()) continue;
            for (const auto& curves : choices) {
                if (FollowCurves(scene.nodes[size_t(found)], node.elements, curves,
                                 anim.ticksPerSecond, track->second))
                    break;
            }
        }
    }
}

}  // namespace

void FollowCollada(SCENEFILEREAD::SCENE& scene, const char* path) {
    const COLLADAFILE file = ReadColladaFile(path);
    if (file.clips.empty()) {
        UnprefixTakes(scene);
    } else {
        scene.anims.clear();
        for (const COLLADAFILE::CLIP& clip : file.clips)
            scene.AddTake(clip.name, SCENE(IMPORTED(clip.document).Scene()));
    }
    FollowCurvedNodes(scene, file.curvedNodes);
    HoldSteps(scene, file.steppedNodes);
    scene.Rename(file.names);
}

}  // namespace tavrel::scenefile

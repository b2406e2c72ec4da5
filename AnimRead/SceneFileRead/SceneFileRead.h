#pragma once
// A motion read from a 3D scene file (FBX, glTF 2.0, COLLADA) through Assimp: the file's bone
// hierarchy is the skeleton, one of its animations (takes) the frames. Keys are sampled at a fixed
// rate, so the motion lasts as long as the take. Nodes that importers put between bones (pivots,
// pre-rotations) and nodes above the skeleton are folded into the bones' matrices; bones are kept
// rigid, scales going into their positions. Axes stay the file's: the skeleton mapping finds up.
// What the importer drops is read from the file itself: glTF steps and splines, and COLLADA
// steps, curves, clips (the takes) and joint names.
#include <string>
#include <vector>

#include "AnimRead/AnimFile.h"

struct aiScene;

namespace tavrel {

class SCENEFILEREAD : public ANIMFILE {
public:
    // Larger files are refused before reading: the importer holds all of a file at once, and
    // a motion of that size is no motion but a scene full of meshes.
    static constexpr int64_t kMaxFileSize = int64_t{128} << 20;
    static constexpr int32_t kMaxJoints = 1024;
    static constexpr int32_t kSampleRate = 60;
    // Longer takes are refused, whatever a small file claims: 20 minutes, and matrices (joints
    // times frames) of 512 MB at most.
    static constexpr int32_t kMaxFrames = 20 * 60 * kSampleRate;
    static constexpr int64_t kMaxMatrices = int64_t{8} << 20;

    struct TAKE {
        std::string name;
        double seconds = 0;
    };
    // Rates a skeleton by its joint names; the best is taken, the one with more joints on a tie.
    using SkeletonScore = int (*)(const std::vector<std::string>& names);

    // Reads the file and the named take (the first when empty). Raises ERROBJ: code 1 for a
    // missing file, 5 for what it does not hold (skeleton, take) or a size refused, 2 for a file
    // the importer cannot read or whose keys are no numbers.
    explicit SCENEFILEREAD(const char* path, const std::string& take = {},
                           SkeletonScore score = nullptr);
    // The same from a scene already imported; everything in it is checked before use.
    SCENEFILEREAD(const aiScene& scene, const std::string& take, SkeletonScore score);

    // The takes of a file without sampling any; raises as the constructor does.
    static std::vector<TAKE> ListTakes(const char* path);

    const std::vector<TAKE>& GetTakes() const { return takes_; }
    const std::string& GetTakeName() const { return takes_[take_].name; }
    // How many separate skeletons the file holds; the one read is GetSkeletonRoot's.
    int32_t GetSkeletonCount() const { return skeletonCount_; }
    const std::string& GetSkeletonRoot() const { return skeletonRoot_; }
    // The segment's local matrix in the file's rest pose (its nodes without animation).
    const rkMatrix& GetRestMatrix(int32_t segment) const { return rest_[segment]; }

    // The checked copy of an imported scene the reader works from.
    class SCENE;

protected:
    // Everything is read by the constructor; there is nothing left in the file to read.
    void ReadHead(BLOCKREADER&) override {}
    void ReadFrames(BLOCKREADER&, int32_t) override {}

private:
    friend class SCENERECORD;  // hands a motion read in the import helper over to this process
    SCENEFILEREAD() = default;
    void Build(const SCENE& scene, const std::string& take, SkeletonScore score);
    // The named take, the first when none is named.
    void SelectTake(const SCENE& scene, const std::string& take);
    // How many frames the chosen take is sampled at, within the limits.
    int32_t FramesOfTake(const SCENE& scene, size_t joints) const;
    // The segments of the joints, named and linked (parents as a joint's index, -1 for none).
    void MakeSegments(const SCENE& scene, const std::vector<int32_t>& joints,
                      const std::vector<int32_t>& parents);
    void SampleFrames(const SCENE& scene, const std::vector<int32_t>& joints,
                      const std::vector<int32_t>& parents, int32_t count);
    void SetRestPose();

    std::vector<TAKE> takes_;
    size_t take_ = 0;
    int32_t skeletonCount_ = 0;
    std::string skeletonRoot_;
    std::vector<rkMatrix> rest_;
};

}  // namespace tavrel

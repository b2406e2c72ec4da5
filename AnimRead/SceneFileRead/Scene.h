#pragma once
// The parts of an imported scene the reader uses, copied and checked: every count, pointer and
// number the importer handed out is looked at once, here.
#include <assimp/types.h>

#include <string>
#include <unordered_map>
#include <vector>

#include "AnimRead/SceneFileRead/SceneFileRead.h"
#include "AnimRead/SceneFileRead/Track.h"

struct aiAnimation;
struct aiNode;
struct aiNodeAnim;

namespace tavrel {

class SCENEFILEREAD::SCENE {
public:
    // What importers call the nodes they insert for pivots and pre-rotations.
    static constexpr const char* kHelperMark = "$AssimpFbx$";
    // Assimp's ticks per second when a file names none.
    static constexpr double kDefaultTicksPerSecond = 25.0;

    struct NODE {
        std::string name;
        int32_t parent = -1;  // parents come before their children
        aiMatrix4x4 local;
        aiVector3D scale, position;
        aiQuaternion rotation;
        bool helper = false;
        bool bone = false;
        bool mesh = false;
    };
    struct ANIM {
        TAKE take;
        double ticksPerSecond = kDefaultTicksPerSecond;
        std::unordered_map<int32_t, scenefile::TRACK> tracks;  // by node
        std::string badKey;  // the node whose keys are no numbers
    };

    explicit SCENE(const aiScene& scene);

    // The first node of the name, or -1.
    int32_t Find(const std::string& name) const;
    // The takes of a scene imported from a part of the file, as one take of this scene.
    void AddTake(const std::string& name, const SCENE& part);
    // Nodes named anew, by their old names; the first node of each name is found by it.
    void Rename(const std::unordered_map<std::string, std::string>& names);

    std::vector<NODE> nodes;
    std::vector<ANIM> anims;

private:
    void CopyNodes(const aiNode* root);
    void CopyNode(const aiNode& node, int32_t parent);
    void MarkBones(const aiScene& scene);
    void CopyAnimation(const aiAnimation& animation, unsigned index);
    void CopyChannel(const aiNodeAnim& channel, ANIM& anim);

    std::unordered_map<std::string, int32_t> byName_;  // the first node of each name
};

}  // namespace tavrel

#include "motion/AnimFileFactory.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "AnimRead/BVHRead/BVHRead.h"
#include "AnimRead/CHARead/CHARead.h"
#include "AnimRead/CHBRead/CHBRead.h"
#include "AnimRead/HTRRead/HTRRead.h"
#include "AnimRead/SceneFileRead/SceneImport.h"
#include "motion/SkeletonMapper.h"

namespace tavrel {
namespace {

bool EndsWith(const std::string& text, std::string_view tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

template <typename T>
std::unique_ptr<ANIMFILE> Build(const char* path, int stream) {
    if (!path) return std::make_unique<T>();
    return std::make_unique<T>(path, stream);
}

}  // namespace

int HumanSkeletonScore(const std::vector<std::string>& names) {
    std::vector<bool> found(kStandardSegmentCount, false);
    for (const std::string& name : names) {
        const int32_t segment = CSkeletonMapper::SegmentForName(name);
        if (segment >= 0) found[segment] = true;
    }
    return static_cast<int>(std::count(found.begin(), found.end(), true));
}

MotionFileType MotionFileTypeOf(std::string_view path) {
    std::string lowered(path);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    if (EndsWith(lowered, ".htr")) return kTypeHTR;
    if (EndsWith(lowered, ".cha")) return kTypeCHA;
    if (EndsWith(lowered, ".chb")) return kTypeCHB;
    if (EndsWith(lowered, ".bvh")) return kTypeBVH;
    for (const char* scene : {".fbx", ".gltf", ".glb", ".dae"}) {
        if (EndsWith(lowered, scene)) return kTypeScene;
    }
    return kTypeUnknown;
}

int WriteFormatOf(MotionFileType type) {
    switch (type) {
        case kTypeCHA:
            return 0;
        case kTypeCHB:
            return 1;
        case kTypeBVH:
            return ANIMFILE::kFormatBvh;
        default:
            return -1;
    }
}

std::unique_ptr<ANIMFILE> OpenAnimFile(const char* path, int type, int preload,
                                       const std::string& take) {
    switch (type) {
        case kTypeCHA:
            return Build<CHAREAD>(path, preload);
        case kTypeCHB:
            return Build<CHBREAD>(path, preload);
        case kTypeHTR:
            return Build<HTRREAD>(path, preload);
        case kTypeBVH:
            return path ? std::make_unique<BVHREAD>(path, preload) : nullptr;
        case kTypeScene:
            return path ? ImportSceneFile(path, take) : nullptr;
        default:
            return nullptr;
    }
}

std::unique_ptr<ANIMFILE> CreateAnimFile(const char* path, int type, int stream) {
    try {
        return OpenAnimFile(path, type, stream);
    } catch (...) {
        // Readers raise ERROBJ; anything else (such as bad_alloc) means the same: no motion.
        return nullptr;
    }
}

}  // namespace tavrel

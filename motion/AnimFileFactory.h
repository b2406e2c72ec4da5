#pragma once
// Picks the motion-file class by file type and builds it, turning read errors into no result.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "AnimRead/AnimFile.h"

namespace tavrel {

enum MotionFileType : int {
    kTypeUnknown = 0,
    kTypeCHA = 1,
    kTypeCHB = 2,
    kTypeHTR = 3,
    kTypeBVH = 4,
    kTypeScene = 5  // FBX, glTF 2.0 and COLLADA scenes: read only, one take at a time
};

// The type of a path by its extension, without regard to case: .htr, .cha, .chb, .bvh, the
// scene files (.fbx, .gltf, .glb, .dae), else 0.
MotionFileType MotionFileTypeOf(std::string_view path);

// The format argument of ANIMFILE::Write for a type that can be written (CHA, CHB, BVH); -1 else.
int WriteFormatOf(MotionFileType type);

// Like CreateAnimFile, but lets the reader's ERROBJ through (for callers that report it).
// A type other than 1 to 5 gives nothing. A scene file gives the named take, the first when
// take is empty, of its most human skeleton, read in the import helper (SceneImport.h).
std::unique_ptr<ANIMFILE> OpenAnimFile(const char* path, int type, int preload,
                                       const std::string& take = {});

// How many standard segments a skeleton's joint names stand for: the most human skeleton of a
// scene is the one the mapping will take.
int HumanSkeletonScore(const std::vector<std::string>& names);

// With no path (nullptr): a default motion of the type's class (standard skeleton, one frame);
// BVH has none, a BVH record always comes from a file.
// With a path: that class read from the file, preload = stream; empty on any read error.
std::unique_ptr<ANIMFILE> CreateAnimFile(const char* path, int type, int stream);

}  // namespace tavrel

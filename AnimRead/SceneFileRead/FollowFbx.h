#pragma once
// The FBX importer blends the keys a file holds until the next (constant keys) and joins cubic
// keys by straight lines: both are read from the file, per take and node.
#include "AnimRead/SceneFileRead/SceneFileRead.h"

namespace tavrel::scenefile {

// A helper node the importer made counts as the node it was made for.
void FollowFbx(SCENEFILEREAD::SCENE& scene, const char* path);

}  // namespace tavrel::scenefile

#pragma once
// glTF says per channel whether its keys step or lie on a spline; the importer forgets it, so
// the file's own words are read again.
#include "AnimRead/SceneFileRead/SceneFileRead.h"

namespace tavrel::scenefile {

// Animations and nodes are matched in order and by name; a file the glTF reader cannot read
// leaves the importer's keys as they are.
void FollowGltf(SCENEFILEREAD::SCENE& scene, const char* path, bool binary);

}  // namespace tavrel::scenefile

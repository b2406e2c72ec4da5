#pragma once
// What the importer mistakes in a COLLADA file, mended from the file itself: its takes (the
// file's clips, else the importer's animations under their own names), its steps and curves,
// and the names of its joints (the importer's are the ids the exporting tool made, often the
// armature's name in front, which no naming scheme knows).
#include "AnimRead/SceneFileRead/SceneFileRead.h"

namespace tavrel::scenefile {

void FollowCollada(SCENEFILEREAD::SCENE& scene, const char* path);

}  // namespace tavrel::scenefile

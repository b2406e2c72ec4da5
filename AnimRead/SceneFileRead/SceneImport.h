#pragma once
// Scene files are read by the importer in a helper process of ours (tavrel-import, beside this
// program), under a time and a memory limit: a file that makes the third-party importer abort,
// crash, hang or run out of memory is then a refused file, not the end of the editor or the
// command line. The helper hands back the motion record (SCENERECORD), checked here as any
// input is.
#include <memory>
#include <string>
#include <vector>

#include "AnimRead/SceneFileRead/SceneFileRead.h"

namespace tavrel {

// How long the helper may take over one file.
inline constexpr int kImportSeconds = 10;
// What the error's detail says when the helper did not end by itself.
inline constexpr const char* kImporterStopped = "the importer stopped on this file";

// As SCENEFILEREAD::ListTakes and its constructor, read in the helper; raise ERROBJ as they do,
// and code 2 with kImporterStopped when the helper stopped or ran out of time.
std::vector<SCENEFILEREAD::TAKE> ImportSceneTakes(const std::string& path);
std::unique_ptr<SCENEFILEREAD> ImportSceneFile(const std::string& path, const std::string& take);

// The helper's own work: `tavrel-import takes FILE` or `tavrel-import read FILE [TAKE]` writes
// one record to its standard output. Returns its exit code.
int RunImportHelper(int argc, char** argv, SCENEFILEREAD::SkeletonScore score);

}  // namespace tavrel

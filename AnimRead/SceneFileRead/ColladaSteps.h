#pragma once
// What the scene importer forgets of a COLLADA file: which channels hold each key until the
// next (STEP) rather than blending between keys. The file is read again, as a stream, for it.
#include <string>
#include <unordered_set>

namespace tavrel {

// The names of the nodes every one of whose animation channels steps (as the importer names
// them: by their names, else their ids). Empty when the file cannot be read or nothing steps.
std::unordered_set<std::string> ColladaSteppedNodes(const char* path);

}  // namespace tavrel

#pragma once
// What the scene importer forgets or mistakes in a COLLADA file, read from the file itself:
// which channels hold each key until the next (STEP), and the file's clips (its takes).
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace tavrel {

struct COLLADAFILE {
    // The ids of the nodes every one of whose animation channels steps.
    std::unordered_set<std::string> steppedNodes;
    // The names people gave the nodes, by id: the importer names nodes by their ids (named by
    // their names, it loses the animations of nodes that have none).
    std::unordered_map<std::string, std::string> names;
    // One take a clip, as the document with only that clip's animations: the importer ignores
    // clips, and takes apart the animations of a file whose clips move the same joints.
    struct CLIP {
        std::string name;
        std::string document;
    };
    std::vector<CLIP> clips;
};

// Reads the file as XML; what cannot be read is left empty (the importer has read it already).
COLLADAFILE ReadColladaFile(const char* path);

}  // namespace tavrel

#pragma once
// What the scene importer forgets in a binary FBX file, read from the file itself: which of a
// node's curves hold each key until the next (constant keys), per take.
#include <string>
#include <unordered_map>

namespace tavrel {

struct FBXFILE {
    // The kinds of a node's curves every key of which holds until the next.
    struct STEPS {
        bool positions = false, rotations = false, scales = false;
    };
    // By take (the animation stack's name), then by node (the model's name).
    std::unordered_map<std::string, std::unordered_map<std::string, STEPS>> steps;
};

// Reads the binary format (text FBX is left alone); what cannot be read is left empty (the
// importer has read it already).
FBXFILE ReadFbxFile(const char* path);

}  // namespace tavrel

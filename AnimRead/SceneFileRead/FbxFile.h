#pragma once
// What the scene importer forgets in an FBX file (binary or text), read from the file itself: which of a
// node's curves hold each key until the next (constant keys), per take.
#include <array>
#include <string>
#include <unordered_map>
#include <vector>

namespace tavrel {

struct FBXFILE {
    // The kinds of a node's curves every key of which holds until the next.
    struct STEPS {
        bool positions = false, rotations = false, scales = false;
    };
    // By take (the animation stack's name), then by node (the model's name).
    std::unordered_map<std::string, std::unordered_map<std::string, STEPS>> steps;

    // A smooth curve: at each key its time (seconds), value, and the slopes (value units a
    // second) leaving it and arriving at the next key.
    struct CURVE {
        std::vector<double> times;
        std::vector<float> values, right, nextLeft;
    };
    // A node's smooth X, Y and Z curves of a kind; `rotationOrder` (0 XYZ ... 5 ZYX) says how
    // the Euler angles (degrees) of its rotation compose.
    struct SMOOTH {
        std::array<CURVE, 3> positions, rotations;
        bool hasPositions = false, hasRotations = false;
        int rotationOrder = 0;
    };
    // The nodes whose curves of a kind have cubic keys, by take then node, as `steps`.
    std::unordered_map<std::string, std::unordered_map<std::string, SMOOTH>> smooth;
};

// Reads the binary or the text format; what cannot be read is left empty (the importer has
// read it already).
FBXFILE ReadFbxFile(const char* path);

// Whether a text FBX file closes every block it opens (a binary file is taken as whole). The
// importer leaks what it has read of a text file cut in the middle, so such a file is refused
// before it reaches the importer.
bool FbxTextIsWhole(const char* path);

}  // namespace tavrel

#pragma once
// What the scene importer forgets or mistakes in a COLLADA file, read from the file itself:
// which channels hold each key until the next (STEP), the curves of BEZIER and HERMITE keys,
// and the file's clips (its takes).
#include <array>
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

    // A sampler driving values of a node's transform element. The importer keeps only its key
    // values, so curved keys would be drawn straight between them.
    struct CURVE {
        std::string group;   // the clip naming it, else the outermost animation holding it
        std::string sid;     // the element's
        int component = -1;  // the element's value it drives; -1: all of them
        int stride = 1;      // values a key
        std::vector<double> times, values;
        // Control points a key and value: (time, value) pairs, or values alone (1D).
        std::vector<double> inTangents, outTangents;
        std::vector<std::string> interpolations;  // a key, for the span after it
        // The values at a time in seconds: held outside the keys.
        void ValuesAt(double seconds, double* out) const;
        // Whether a span is curved (BEZIER or HERMITE); the last key's interpolation leads
        // nowhere.
        bool Curved() const;
    };
    // A node's transform elements in the file's order, and the curves on them.
    struct CURVEDNODE {
        struct ELEMENT {
            std::string kind, sid;  // translate, rotate, scale or matrix
            std::vector<double> values;
        };
        std::vector<ELEMENT> elements;
        std::vector<CURVE> curves;
        // The node's matrix (rows, taking column vectors) with these of its curves at a time;
        // false for an element it cannot compose.
        static bool MatrixAt(const std::vector<ELEMENT>& elements,
                             const std::vector<const CURVE*>& curves, double seconds,
                             std::array<double, 16>* out);
        // The sets of curves that may make one take of the node: all of them, then those of
        // each group.
        std::vector<std::vector<const CURVE*>> Choices() const;
    };
    // By node id: the nodes with a curve of BEZIER or HERMITE keys.
    std::unordered_map<std::string, CURVEDNODE> curvedNodes;
};

// Reads the file as XML; what cannot be read is left empty (the importer has read it already).
COLLADAFILE ReadColladaFile(const char* path);

// Whether every accessor reads within the array it names, as the importer takes for granted:
// it stops the program on one that does not. True for a file that is no XML to read.
bool ColladaAccessorsFit(const char* path);

}  // namespace tavrel

#pragma once
// What a COLLADA file says of its channels, gathered in one pass of an XML reader whatever the
// order of its parts: the raw words the file's steps, curves, clips and names are made of.
#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "AnimRead/SceneFileRead/ColladaFile.h"

namespace tavrel {

struct XMLLIBRARY;

struct COLLADACHANNELS {
    // A channel's target: "node/sid", "node/sid.ANGLE", "node/sid.X" or "node/sid(3)".
    struct TARGET {
        std::string sampler, node, sid, selector;
        std::vector<std::string> animations;  // those holding it, outermost first
    };
    std::unordered_map<std::string, std::string> nodeNames;       // id -> name, where given
    std::unordered_map<std::string, bool> steppingSources;        // Name_array source -> all STEP
    std::unordered_map<std::string, std::string> interpolations;  // sampler -> its source
    std::vector<std::pair<std::string, std::string>> targets;     // sampler, node id
    // Each clip's name and the ids of the animations it names.
    using CLIPS = std::vector<std::pair<std::string, std::unordered_set<std::string>>>;
    CLIPS clips;
    // For curves: the animations' sources, the samplers' inputs, the channels and the nodes'
    // transform elements.
    std::unordered_map<std::string, std::string> floats, names;  // source -> its array's text
    std::unordered_map<std::string, int> strides;                // source -> accessor's stride
    std::unordered_map<std::string, std::unordered_map<std::string, std::string>> inputs;
    std::vector<TARGET> channels;
    std::unordered_map<std::string, std::vector<COLLADAFILE::CURVEDNODE::ELEMENT>> elements;
    // Every array's count as it says, and what every accessor reads of the array it names.
    std::unordered_map<std::string, uint64_t> arrayCounts;
    struct ACCESSOR {
        std::string array;
        uint64_t count, stride, offset;
    };
    std::vector<ACCESSOR> accessors;

    // A channel's sampler as a curve; false for one whose parts do not fit together.
    bool MakeCurve(const TARGET& target, COLLADAFILE::CURVE* curve) const;
};

// False for a file the reader cannot open or read to its end.
bool ReadColladaChannels(const XMLLIBRARY& xml, const char* path, COLLADACHANNELS* out);

}  // namespace tavrel

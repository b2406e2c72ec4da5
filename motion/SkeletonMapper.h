#pragma once
// Maps a motion of any human skeleton onto the standard one: joints are matched to the standard
// segments by the names capture software, rigging tools and public libraries give them, and each
// matched joint's turn away from its rest pose is carried over to the segment, after the two rest
// poses are lined up bone by bone; each bone is then swung to point where the source's bone points
// in that frame (joints between two matched ones, and captured joints that drift, move it too).
// The result stands upright, faces front and keeps its feet on the ground of our avatar, whatever
// the source's up axis and units were. A rest pose without shape (every offset zero, the frames
// holding them) is taken from the frame that stands most like one.
#include <array>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "AnimRead/AnimFile.h"
#include "AnimRead/StandardSkeleton.h"

namespace tavrel {

class CSkeletonMapper {
public:
    // Source joint name -> standard segment name; entries given here win over name matching.
    // A segment name of "-" leaves the joint unmapped.
    using Overrides = std::map<std::string, std::string>;

    struct Result {
        std::unique_ptr<ANIMFILE> motion;  // null when the source cannot be mapped
        std::string message;               // why not, naming what is missing
        std::array<int32_t, kStandardSegmentCount> joints{};  // source joint per segment, or -1
        std::vector<std::string> unmapped;                    // source joints no segment took
        std::string unit;    // the source's length unit as detected ("cm", ...)
        float scale = 1.0f;  // source lengths times this are ours
        char upAxis = 'Z';   // the source's up axis in its own file
        // Turns directions of the source's world into ours (row vectors).
        rkMatrix align{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
    };

    // The standard segment a joint name belongs to, or -1. Prefixes such as "mixamorig:" or
    // "Bip01 " and the many ways of writing left and right are understood.
    static int32_t SegmentForName(const std::string& name);
    // Matches every segment to the source joint closest to the root among the candidates. Where
    // names differ between schemes the hierarchy decides: a "Shoulder" above the forearm with no
    // upper arm named is the upper arm, and a spine chain running on to the skull ends in the
    // neck and head.
    static std::array<int32_t, kStandardSegmentCount> Match(const ANIMFILE& source,
                                                            const Overrides& overrides);
    // Maps every frame of the source; fps 0 keeps the source's frame rate, else the motion is
    // resampled to it. The source's frames must be readable (they are read here).
    static Result Map(ANIMFILE& source, const Overrides& overrides, int fps = 0);
    // The motion at another frame rate: poses in between are turned smoothly (slerp), roots
    // moved in a straight line. None when either rate is below 1.
    static std::unique_ptr<ANIMFILE> Resampled(const ANIMFILE& motion, int fps);
    // Reads "source = segment" lines (comments start with '#' or ';'); false when unreadable.
    static bool ReadOverrides(const std::string& path, Overrides* overrides, std::string* error);
};

}  // namespace tavrel

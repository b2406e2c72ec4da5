#pragma once
// Brings a motion file of any skeleton and frame rate onto what the timeline plays: the standard
// skeleton, one frame per timeline frame. The command line's import and a file dropped in the
// editor both come through here, so they make the same motion of the same file.
#include <memory>
#include <string>

#include "AnimRead/AnimFile.h"
#include "motion/SkeletonMapper.h"

namespace tavrel {

class CMotionImport {
public:
    // The timeline shows 60 frames a second; motions it plays are stored at that rate.
    static constexpr int kTimelineFrameRate = 60;

    // Same segment names in the same tree as the standard skeleton.
    static bool HasStandardSkeleton(const ANIMFILE& motion);
    // Whether the file's motion is not yet one the timeline plays as it is: an HTR file (read
    // only), a skeleton of its own, or (fps > 0) another frame rate. Unreadable files say no:
    // their copy fails later, as any unreadable file does.
    static bool NeedsImport(const std::string& path, int fps);
    // Every frame of the source on the standard skeleton, resampled to fps (0 keeps the
    // source's rate). A standard skeleton without overrides is taken joint for joint; any
    // other goes through the skeleton mapping. No motion (with the message) when it fails.
    static CSkeletonMapper::Result Import(ANIMFILE& source,
                                          const CSkeletonMapper::Overrides& overrides, int fps);
    // The same from a file; the message names what went wrong when it cannot be read. A scene
    // file gives the named take (the first when empty); when it holds several skeletons, the
    // message of a successful import says which was taken.
    static CSkeletonMapper::Result ImportFile(const std::string& path,
                                              const CSkeletonMapper::Overrides& overrides, int fps,
                                              const std::string& take = {});
    // What a successful import of source has to say: which of several skeletons it took.
    static std::string SkeletonNote(const ANIMFILE& source);
    // A motion file opened to be shown on the avatar (gallery pictures, previews): a standard
    // skeleton as it is (its frames read as preload says), another mapped onto ours at its own
    // frame rate. None when the file cannot be read or mapped.
    static std::unique_ptr<ANIMFILE> OpenToShow(const std::string& path, int preload);
    // A short line about the joints the mapping left out: the first few names, then how many
    // more. Empty when every joint found a place.
    static std::string UnmappedSummary(const std::vector<std::string>& unmapped);
};

}  // namespace tavrel

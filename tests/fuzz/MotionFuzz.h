#pragma once
// The motion readers' harnesses: a file is read eagerly and lazily; every pose the reader says
// it holds is asked for (evenly spread when there are many), then the motion is written back in
// each format and the copy must read as the same shape of motion.
#include <algorithm>
#include <memory>
#include <string>

#include "AnimRead/AnimFile.h"
#include "AnimRead/CHBRead/CHBRead.h"
#include "AnimRead/ErrObj.h"
#include "tests/fuzz/FuzzSupport.h"

namespace tavrel::fuzz {

// More poses than this are sampled evenly, so one input stays quick.
constexpr int64_t kMaxPoses = 512;

inline void AskEveryPose(ANIMFILE& motion) {
    const int64_t begin = motion.GetBeginFrame();
    const int64_t count = int64_t{motion.GetEndFrame()} - begin + 1;
    if (count < 1) Fail("a motion read with no frames");
    const int64_t asked = std::min(count, kMaxPoses);
    for (int64_t i = 0; i < asked; ++i) {
        const int64_t frame = begin + (asked == 1 ? 0 : i * (count - 1) / (asked - 1));
        if (motion.GetFrame(static_cast<int32_t>(frame)) == nullptr) Fail("a pose without root");
    }
    std::unique_ptr<ANIMSEGLENGTH[]> lengths;
    if (motion.GetSegmentLengths(lengths) != motion.GetSegmentCount()) {
        Fail("segment lengths do not match the segments");
    }
}

// Writes the motion as CHA, CHB and BVH; the CHB copy must read back with the same segments and
// frame range.
inline void WriteBack(ANIMFILE& motion) {
    const std::string cha = Scratch() + "/back.cha";
    const std::string chb = Scratch() + "/back.chb";
    const std::string bvh = Scratch() + "/back.bvh";
    motion.WriteAs(cha.c_str(), 0);
    motion.WriteAs(bvh.c_str(), ANIMFILE::kFormatBvh);
    if (!motion.WriteAs(chb.c_str(), 1)) Fail("a read motion could not be written");
    try {
        CHBREAD copy(chb.c_str(), 1);
        if (copy.GetSegmentCount() != motion.GetSegmentCount() ||
            copy.GetBeginFrame() != motion.GetBeginFrame() ||
            copy.GetEndFrame() != motion.GetEndFrame()) {
            Fail("the written motion reads back differently");
        }
    } catch (const ERROBJ&) {
        Fail("the written motion cannot be read");
    }
}

template <class Reader>
int FuzzMotion(const uint8_t* data, size_t size, const char* name) {
    const std::string path = WriteInput(data, size, name);
    for (int preload : {1, 0}) {
        try {
            Reader motion(path.c_str(), preload);
            AskEveryPose(motion);
            WriteBack(motion);
        } catch (const ERROBJ&) {
            // A damaged file is refused; that is the expected outcome for most inputs.
        }
    }
    return 0;
}

}  // namespace tavrel::fuzz

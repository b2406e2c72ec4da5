// CHB motion files.
#include "AnimRead/CHBRead/CHBRead.h"
#include "tests/fuzz/MotionFuzz.h"

// A short motion of the standard skeleton, written by our own writer.
std::vector<std::string> tavrel::fuzz::Seeds() {
    CHBREAD motion;
    for (int32_t frame = 0; frame <= 3; ++frame) {
        rkNode* root = motion.GetFrame(frame);
        rkMatrix m;
        rkIdentity(&m);
        m.m[12] = static_cast<float>(frame);
        rkSetNodeMatrix(motion.GetSegment(0)->node, m);
        motion.SetFrame(root, frame);
    }
    const std::string path = Scratch() + "/seed.chb";
    motion.WriteAs(path.c_str(), 1);
    return {ReadFile(path)};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return tavrel::fuzz::FuzzMotion<tavrel::CHBREAD>(data, size, "in.chb");
}

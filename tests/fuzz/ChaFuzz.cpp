// CHA motion files.
#include "AnimRead/CHARead/CHARead.h"
#include "tests/fuzz/MotionFuzz.h"

std::vector<std::string> tavrel::fuzz::Seeds() {
    return {};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return tavrel::fuzz::FuzzMotion<tavrel::CHAREAD>(data, size, "in.cha");
}

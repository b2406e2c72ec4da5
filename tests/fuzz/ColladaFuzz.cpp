// COLLADA files as a whole: the importer reads them, then our own reading of what it forgets
// (clips, steps, curves) reads them again. Whatever is read must be a motion whose every pose
// is there.
#include "AnimRead/SceneFileRead/SceneFileRead.h"
#include "tests/fuzz/MotionFuzz.h"
#include "tests/support/ColladaWriter.h"

std::vector<std::string> tavrel::fuzz::Seeds() {
    using tavrel::testing::ColladaWriter;
    tavrel::testing::SceneFigure figure;
    figure.takes = {{"Walk", 0.5, 10}, {"Run", 0.5, 10, 2.0f}};
    std::vector<std::string> seeds;
    for (const bool clips : {false, true}) {
        ColladaWriter::Style style{!clips, clips};
        style.clips = clips;
        style.interpolation = clips ? "STEP" : "LINEAR";
        seeds.push_back(ColladaWriter::Text(figure, style));
    }
    // Curves on the turns and the root's place, as each take's group of animations and as clips.
    for (auto& take : figure.takes) take.bezier = true;
    for (const bool clips : {false, true}) {
        ColladaWriter::Style style{false, clips};
        style.clips = clips;
        style.interpolation = "BEZIER";
        seeds.push_back(ColladaWriter::Text(figure, style));
    }
    return seeds;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tavrel::fuzz;
    const std::string path = WriteInput(data, size, "in.dae");
    try {
        const auto takes = SCENEFILEREAD::ListTakes(path.c_str());
        SCENEFILEREAD motion(path.c_str(), takes.back().name);
        if (motion.GetTakeName() != takes.back().name) Fail("another take than the one named");
        AskEveryPose(motion);
    } catch (const ERROBJ&) {
        // Refused with a reason.
    }
    return 0;
}

// COLLADA files as a whole: our own reading of what the importer forgets (clips, steps, curves)
// here, then the import helper, in which the importer reads them and our reading follows it.
// Whatever comes back must be a motion whose every pose is there; a file the importer stops on
// is refused with a reason, as any other.
#include "AnimRead/SceneFileRead/ColladaFile.h"
#include "AnimRead/SceneFileRead/SceneImport.h"
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
        if (tavrel::ColladaAccessorsFit(path.c_str())) tavrel::ReadColladaFile(path.c_str());
    } catch (const tavrel::ERROBJ&) {
    }
    try {
        const auto takes = tavrel::ImportSceneTakes(path);
        const auto motion = tavrel::ImportSceneFile(path, takes.back().name);
        if (motion->GetTakeName() != takes.back().name) Fail("another take than the one named");
        AskEveryPose(*motion);
    } catch (const tavrel::ERROBJ&) {
        // Refused with a reason.
    }
    return 0;
}

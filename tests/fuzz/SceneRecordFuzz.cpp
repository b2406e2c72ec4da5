// What the import helper hands back, damaged: the record must be refused with a reason or read
// as a sound motion, in bounded time and memory, whatever its counts and numbers say.
#include "AnimRead/SceneFileRead/SceneRecord.h"
#include "base/HelperProcess.h"
#include "tests/fuzz/MotionFuzz.h"
#include "tests/support/ColladaWriter.h"

std::vector<std::string> tavrel::fuzz::Seeds() {
    tavrel::testing::SceneFigure figure;
    figure.joints.resize(3);
    figure.takes = {{"Walk", 0.1, 4}, {"Run", 0.05, 4}};
    const std::string path =
        WriteInput(tavrel::testing::ColladaWriter::Text(figure, {}), "seed.dae");
    std::vector<std::string> seeds;
    const std::string helper = ProgramBesideThisOne("tavrel-import");
    for (const char* what : {"takes", "read"}) {
        HelperResult answer = RunHelper(helper, {helper, what, path}, HelperLimits{});
        if (answer.ending == HelperResult::Ending::kExited) seeds.push_back(answer.output);
    }
    seeds.push_back(SCENERECORD::OfError(ERROBJ(ERR_NOT_SUPPORTED, __FILE__, __LINE__, "no take")));
    return seeds;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tavrel::fuzz;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    try {
        if (tavrel::SCENERECORD::ReadTakes(bytes).empty()) Fail("a record of no takes");
    } catch (const tavrel::ERROBJ&) {
    }
    try {
        const auto motion = tavrel::SCENERECORD::ReadMotion(bytes, "in.dae");
        AskEveryPose(*motion);
        if (motion->GetTakeName().size() > 1024) Fail("a take's name past its bound");
    } catch (const tavrel::ERROBJ&) {
    }
    return 0;
}

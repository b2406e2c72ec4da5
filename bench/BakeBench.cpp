// Bake: a whole timeline of 18000 frames written as one motion file (CHB, glTF), and the glTF
// writer alone on a motion of that length with the avatar's body.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "AnimRead/GltfWriter.h"
#include "AnimRead/StandardSkeleton.h"
#include "ZU2/rkNode.h"
#include "compose/TimelineBake.h"
#include "motion/AnimFileFactory.h"
#include "motion/Chtr.h"
#include "motion/MotionManager.h"
#include "scene/BodyReader.h"

namespace {

using namespace tavrel;
namespace fs = std::filesystem;

constexpr int kClips = 30;
constexpr int kClipLength = 600;  // 30 touching clips fill 18000 frames

// A motion on the standard skeleton whose root walks and whose thigh turns.
void WriteMotion(const std::string& path) {
    auto record = CreateAnimFile(nullptr, kTypeCHB, 1);
    CHTR pose(rkCloneNode(record->GetFrame(0)));
    for (int k = 0; k < kClipLength; ++k) {
        pose.GetRoot()->local.m[12] = float(k);
        rkRotateNode(rkFindNode(pose.GetRoot(), "LThigh"), 0, 0.01f);
        record->SetFrame(pose.GetRoot(), k);
    }
    record->WriteAs(path.c_str(), 1);
}

void BM_Bake18000Frames(benchmark::State& state, const char* outName) {
    const fs::path folder =
        fs::temp_directory_path() / ("tavrel-bench-bake-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    CTimelineProject project;
    for (int i = 0; i < kClips; ++i) {
        MotionClip clip;
        clip.fileName = (folder / ("clip" + std::to_string(i % 4) + ".chb")).string();
        if (i < 4) WriteMotion(clip.fileName);
        clip.SetFrames(i * kClipLength, (i + 1) * kClipLength - 1);
        clip.SetDefaultTransitions();
        clip.sourceLast = kClipLength - 1;
        project.motionClips.InsertSorted(clip);
    }
    const std::string out = (folder / outName).string();
    for (auto _ : state) {
        CMotionManager manager;  // a cold cache, as a fresh bake meets it
        const BakeOutcome outcome =
            BakeTimeline(project, manager, TAVREL_SHARE_DIR "/Init.chb", out);
        if (!outcome.ok || outcome.frames != kClips * kClipLength)
            state.SkipWithError("bake failed");
    }
    std::error_code error;
    fs::remove_all(folder, error);
}
BENCHMARK_CAPTURE(BM_Bake18000Frames, chb, "baked.chb")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Bake18000Frames, glb, "baked.glb")->Unit(benchmark::kMillisecond);

void BM_GltfWrite18000Frames(benchmark::State& state) {
    auto record = CreateAnimFile(nullptr, kTypeCHB, 1);
    CHTR pose(rkCloneNode(record->GetFrame(0)));
    GltfWriter::Content content;
    for (int32_t s = 0; s < record->GetSegmentCount(); ++s)
        content.rest.push_back(record->GetSegment(s)->frames.front());
    for (int k = 0; k < kClips * kClipLength; ++k) {
        pose.GetRoot()->local.m[12] = float(k % kClipLength);
        rkRotateNode(rkFindNode(pose.GetRoot(), "LThigh"), 0, 0.01f);
        record->SetFrame(pose.GetRoot(), k);
    }
    record->SetFrameRate(60);
    content.body = CBodyReader(TAVREL_SHARE_DIR "/avatar.scx").Parts(*record, &content.pictures);
    content.metresPerUnit = StandardMetresPerUnit();
    const fs::path out =
        fs::temp_directory_path() / ("tavrel-bench-gltf-" + std::to_string(::getpid()) + ".glb");
    for (auto _ : state) {
        if (content.body.empty() || !GltfWriter::Write(*record, out.string(), content))
            state.SkipWithError("write failed");
    }
    std::error_code error;
    fs::remove(out, error);
}
BENCHMARK(BM_GltfWrite18000Frames)->Unit(benchmark::kMillisecond);

}  // namespace

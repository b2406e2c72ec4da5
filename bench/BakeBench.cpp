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
void WriteMotion(const std::string& path, int length = kClipLength) {
    auto record = CreateAnimFile(nullptr, kTypeCHB, 1);
    CHTR pose(rkCloneNode(record->GetFrame(0)));
    for (int k = 0; k < length; ++k) {
        pose.GetRoot()->local.m[12] = float(k);
        rkRotateNode(rkFindNode(pose.GetRoot(), "LThigh"), 0, 0.01f);
        record->SetFrame(pose.GetRoot(), k);
    }
    record->WriteAs(path.c_str(), 1);
}

// Layers over the whole timeline, each of two clips of 9000 frames: two layers of motion (added
// on, then over the upper body), two of keys (three segments keyed every second).
LayerStackPtr WholeTimelineLayers(const fs::path& folder, int layers) {
    if (layers == 0) return nullptr;
    const std::string motion = (folder / "layer.chb").string();
    constexpr int kHalf = 9000;
    WriteMotion(motion, kHalf);
    auto stack = std::make_shared<CLayerStack>();
    for (int l = 0; l < layers; ++l) {
        LayerTrack track;
        for (int half = 0; half < 2; ++half) {
            LayerClip clip;
            clip.firstFrame = half * kHalf;
            clip.lastFrame = clip.firstFrame + kHalf - 1;
            clip.weight = 0.8f;
            clip.easeIn = clip.easeOut = 30;
            if (l < 2) {
                clip.fileName = motion;
                clip.mode = half ? LayerMode::kOverride : LayerMode::kAdditive;
                clip.mask = half ? kBodyMaskPresets[1].mask : kWholeBodyMask;
            } else {
                for (int segment : {kLUpArm, kLLowArm, kHead}) {
                    for (int f = 30; f < kHalf - 30; f += 60) {
                        clip.keys.push_back(
                            {f, segment, {0.95f, 0.2f * float(f % 120 == 30), 0.1f, 0}});
                    }
                }
            }
            track.clips.push_back(std::move(clip));
        }
        stack->tracks.push_back(std::move(track));
    }
    return stack;
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
    project.layers = WholeTimelineLayers(folder, int(state.range(0)));
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
// The argument is the number of layers over the timeline: the whole bake with 4 takes at most 1 s.
BENCHMARK_CAPTURE(BM_Bake18000Frames, chb, "baked.chb")
    ->Arg(0)
    ->Arg(4)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Bake18000Frames, glb, "baked.glb")->Arg(0)->Unit(benchmark::kMillisecond);

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

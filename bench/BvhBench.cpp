// BVH reading and writing, and our reader beside another importer on the same 1.5 MB file.
#include <assimp/scene.h>
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <assimp/Importer.hpp>
#include <cmath>
#include <filesystem>
#include <memory>
#include <string>

#include "AnimRead/BVHRead/BVHRead.h"
#include "AnimRead/CHBRead/CHBRead.h"
#include "tests/support/TempFolder.h"

using namespace tavrel;

namespace {

// The standard skeleton turning smoothly, written as BVH until the file holds about 1.5 MB.
class CaptureFile {
public:
    CaptureFile() {
        CHBREAD motion;
        rkNode* root = motion.GetFrame(0);
        for (int frame = 0; frame < kFrames; ++frame) {
            for (int32_t i = 0; i < motion.GetSegmentCount(); ++i) {
                rkNode* node = motion.GetSegment(i)->node;
                const rkVector t{node->local.m[12], node->local.m[13], node->local.m[14]};
                rkRotationMatrix(&node->local, i % 3,
                                 static_cast<float>(std::sin(frame * 0.05 + i)));
                rkMatrix turn;
                rkRotationMatrix(&turn, (i + 1) % 3,
                                 static_cast<float>(std::cos(frame * 0.03 + i)));
                rkMultiply(&node->local, node->local, turn);
                node->local.m[12] = t.x, node->local.m[13] = t.y, node->local.m[14] = t.z;
            }
            motion.SetFrame(root, frame);
        }
        motion.WriteAs(Path().c_str(), ANIMFILE::kFormatBvh);
    }
    std::string Path() const { return folder_ / "capture.bvh"; }
    std::string Out() const { return folder_ / "out.bvh"; }
    int64_t Bytes() const { return static_cast<int64_t>(std::filesystem::file_size(Path())); }

    static constexpr int kFrames = 2600;

private:
    tavrel::testing::TempFolder folder_;
};

CaptureFile& Shared() {
    static CaptureFile file;
    return file;
}

// Both readers do the same work: open the file, parse it whole, build the motion (hierarchy and
// every frame of every joint) and free it again; both check that every frame was read.
void ReadOurs(const CaptureFile& file, benchmark::State& state) {
    BVHREAD motion(file.Path().c_str(), 1);
    benchmark::DoNotOptimize(motion.GetSegment(0)->frames.data());
    if (motion.GetSegment(0)->frames.size() != CaptureFile::kFrames)
        state.SkipWithError("not every frame was read");
}

bool EveryFrameRead(const aiAnimation& animation) {
    unsigned keys = 0;
    for (unsigned i = 0; i < animation.mNumChannels; ++i)
        keys = std::max(keys, animation.mChannels[i]->mNumRotationKeys);
    return keys == CaptureFile::kFrames;
}

void ReadPeer(const CaptureFile& file, benchmark::State& state) {
    // An importer per file: one that read a BVH file before keeps its joints and fails on the
    // next. Making one costs some microseconds.
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(file.Path(), 0);
    benchmark::DoNotOptimize(scene);
    if (!scene || scene->mNumAnimations != 1 || !EveryFrameRead(*scene->mAnimations[0]))
        state.SkipWithError("the importer did not read every frame");
}

void SetFileCounters(benchmark::State& state, const CaptureFile& file) {
    state.SetBytesProcessed(state.iterations() * file.Bytes());
    state.counters["MB"] = static_cast<double>(file.Bytes()) / 1e6;
}

void BM_BvhRead(benchmark::State& state) {
    CaptureFile& file = Shared();
    for (auto _ : state) ReadOurs(file, state);
    SetFileCounters(state, file);
}
BENCHMARK(BM_BvhRead)->Unit(benchmark::kMillisecond);

// The same file through another importer. Compare the CPU times of the two: on a busy machine
// the wall times are mostly waits for a processor.
void BM_BvhReadPeerImporter(benchmark::State& state) {
    CaptureFile& file = Shared();
    for (auto _ : state) ReadPeer(file, state);
    SetFileCounters(state, file);
}
BENCHMARK(BM_BvhReadPeerImporter)->Unit(benchmark::kMillisecond);

void BM_BvhWrite(benchmark::State& state) {
    CaptureFile& file = Shared();
    BVHREAD motion(file.Path().c_str(), 1);
    for (auto _ : state) motion.WriteAs(file.Out().c_str(), ANIMFILE::kFormatBvh);
    state.SetBytesProcessed(state.iterations() * file.Bytes());
}
BENCHMARK(BM_BvhWrite)->Unit(benchmark::kMillisecond);

}  // namespace

// Poses, blending, HTR import, the motion cache and the editing operations.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "AnimRead/HTRRead/HTRRead.h"
#include "base/FileReplacer.h"
#include "motion/AnimFileFactory.h"
#include "motion/Motion.h"
#include "motion/MotionManager.h"
#include "motion/PoseBlender.h"
#include "motion/TransitionMatch.h"

namespace {

namespace fs = std::filesystem;

std::string BenchPath(const std::string& name) {
    static const fs::path dir = [] {
        fs::path d = fs::temp_directory_path() / "tavrel-bench";
        fs::create_directories(d);
        return d;
    }();
    return (dir / name).string();
}

// An edit's output, written where the timeline writes them: its working folder, whose files are
// replaced whole but not flushed to the disk.
std::string WorkingPath(const std::string& name) {
    static const fs::path dir = [] {
        fs::path d = fs::temp_directory_path() / "tavrel-bench-working";
        fs::create_directories(d);
        tavrel::FileReplacer::AddScratchFolder(d.string());
        return d;
    }();
    return (dir / name).string();
}

// A standard-skeleton motion of `frames` frames with every joint moving a little.
std::unique_ptr<tavrel::ANIMFILE> MakeMotion(int frames) {
    auto record = tavrel::CreateAnimFile(nullptr, tavrel::kTypeCHB, 1);
    tavrel::CHTR pose(rkCloneNode(record->GetFrame(0)));
    for (int k = 0; k < frames; ++k) {
        pose.GetRoot()->local.m[12] = float(k);
        rkRotateNode(pose.GetRoot()->child, 0, 0.001f);
        record->SetFrame(pose.GetRoot(), k);
    }
    return record;
}

std::string MotionFile(int frames) {
    const std::string path = BenchPath("standard-" + std::to_string(frames) + ".chb");
    if (!fs::exists(path)) MakeMotion(frames)->WriteAs(path.c_str(), 1);
    return path;
}

// An HTR file of 60 segments in one chain and the given number of frames.
std::string HtrFile(int segments, int frames) {
    const std::string path = BenchPath("capture-" + std::to_string(frames) + ".htr");
    if (fs::exists(path)) return path;
    std::FILE* f = std::fopen(path.c_str(), "w");
    std::fprintf(f, "[Header]\nFileType htr\nDataType HTRS\nFileVersion 1\nNumSegments %d\n"
                 "NumFrames %d\nDataFrameRate 120\nEulerRotationOrder ZYX\nCalibrationUnits mm\n"
                 "RotationUnits Degrees\nGlobalAxisofGravity Y\nBoneLengthAxis Y\n"
                 "ScaleFactor 1.000000\n[SegmentNames&Hierarchy]\n", segments, frames);
    for (int s = 0; s < segments; ++s) {
        if (s == 0) std::fprintf(f, "Bone0\tGLOBAL\n");
        else std::fprintf(f, "Bone%d\tBone%d\n", s, s - 1);
    }
    std::fprintf(f, "[BasePosition]\n");
    for (int s = 0; s < segments; ++s) {
        std::fprintf(f, "Bone%d\t0.000000\t%f\t0.000000\t1.500000\t-2.250000\t0.750000\t10.000000\n", s,
                     s ? 10.0 : 0.0);
    }
    for (int s = 0; s < segments; ++s) {
        std::fprintf(f, "[Bone%d]\n", s);
        for (int k = 1; k <= frames; ++k) {
            std::fprintf(f, "%d\t%f\t%f\t%f\t%f\t%f\t%f\t1.000000\n", k, k * 0.01, -k * 0.02,
                         s * 0.5, k * 0.1, -s * 0.3, k * 0.05);
        }
    }
    std::fprintf(f, "[EndOfFile]\n");
    std::fclose(f);
    return path;
}

void BM_PoseRequestWithCopy(benchmark::State& state) {
    auto motion = MakeMotion(18000);
    tavrel::CHTR pose(rkCloneNode(motion->GetFrame(0)));
    int frame = 0;
    for (auto _ : state) {
        tavrel::CHTR::CopyLocals(motion->GetFrame(frame), pose.GetRoot());
        benchmark::DoNotOptimize(pose.GetRoot()->local.m[12]);
        frame = (frame + 7919) % 18000;
    }
}
BENCHMARK(BM_PoseRequestWithCopy);

void BM_GetPoseClone(benchmark::State& state) {
    tavrel::CMotion motion(MotionFile(1000), 0);
    int i = 0;
    for (auto _ : state) {
        auto pose = motion.GetPose(i);
        benchmark::DoNotOptimize(pose.get());
        i = (i + 1) % 1000;
    }
}
BENCHMARK(BM_GetPoseClone);

void BM_BlendStandardPoses(benchmark::State& state) {
    auto motion = MakeMotion(2);
    tavrel::CHTR a(rkCloneNode(motion->GetFrame(0)));
    tavrel::CHTR b(rkCloneNode(motion->GetFrame(1)));
    tavrel::CPoseBlender blender;
    for (auto _ : state) {
        auto mixed = blender.Blend(&a, &b, 0.37f);
        benchmark::DoNotOptimize(mixed.get());
    }
}
BENCHMARK(BM_BlendStandardPoses);

void BM_BlendIntoExistingPose(benchmark::State& state) {
    auto motion = MakeMotion(2);
    tavrel::CHTR a(rkCloneNode(motion->GetFrame(0)));
    tavrel::CHTR b(rkCloneNode(motion->GetFrame(1)));
    tavrel::CHTR out(rkCloneNode(a.GetRoot()));
    for (auto _ : state) {
        tavrel::CPoseBlender::BlendInto(a.GetRoot(), b.GetRoot(), 0.37f, out.GetRoot());
        benchmark::DoNotOptimize(out.GetRoot()->local.m[0]);
    }
}
BENCHMARK(BM_BlendIntoExistingPose);

void BM_HtrRead(benchmark::State& state) {
    const std::string path = HtrFile(60, 10000);
    const auto bytes = static_cast<int64_t>(fs::file_size(path));
    for (auto _ : state) {
        tavrel::HTRREAD motion(path.c_str(), 1);
        benchmark::DoNotOptimize(motion.GetSegmentCount());
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_HtrRead)->Unit(benchmark::kMillisecond);

void BM_GetMotionCached(benchmark::State& state) {
    tavrel::CMotionManager manager;
    std::string paths[16];
    for (int i = 0; i < 16; ++i) {
        paths[i] = BenchPath("library/motion-" + std::to_string(i) + ".chb");
        manager.GetMotion(paths[i]);
    }
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(manager.GetMotion(paths[i]));
        i = (i + 5) & 15;
    }
}
BENCHMARK(BM_GetMotionCached);

void BM_Resample1000To2000(benchmark::State& state) {
    tavrel::CMotion motion(MotionFile(1000), 0);
    const std::string out = WorkingPath("resampled.chb");
    for (auto _ : state) motion.Resample(out, 2000);
    state.counters["per_frame"] =
        benchmark::Counter(double(state.iterations()) * 2000, benchmark::Counter::kIsRate |
                                                                  benchmark::Counter::kInvert);
}
BENCHMARK(BM_Resample1000To2000)->Unit(benchmark::kMillisecond);

// A speed curve on a clip of 2000 frames: its source played again over the same length.
void BM_ResampleEased2000(benchmark::State& state) {
    tavrel::CMotion motion(MotionFile(2000), 0);
    const std::string out = BenchPath("eased.chb");
    const auto curve = tavrel::SpeedCurve(state.range(0));
    for (auto _ : state) motion.Resample(out, 2000, curve);
    state.SetLabel(std::string(tavrel::SpeedCurveName(curve)));
}
BENCHMARK(BM_ResampleEased2000)
    ->Arg(tavrel::kSpeedConstant)
    ->Arg(tavrel::kSpeedEaseIn)
    ->Arg(tavrel::kSpeedEaseBoth)
    ->Unit(benchmark::kMillisecond);

void BM_SaveReversed1000(benchmark::State& state) {
    tavrel::CMotion motion(MotionFile(1000), 0);
    const std::string out = WorkingPath("reversed.chb");
    for (auto _ : state) motion.SaveReversed(out);
    state.counters["per_frame"] =
        benchmark::Counter(double(state.iterations()) * 1000, benchmark::Counter::kIsRate |
                                                                  benchmark::Counter::kInvert);
}
BENCHMARK(BM_SaveReversed1000)->Unit(benchmark::kMillisecond);

// Mirror and repeat of a 2000-frame motion, the new file written as the clip's menu writes it.
// Target: at most 50 ms each.
void BM_SaveMirrored2000(benchmark::State& state) {
    tavrel::CMotion motion(MotionFile(2000), 0);
    const std::string out = WorkingPath("mirrored.chb");
    for (auto _ : state) motion.SaveMirrored(out);
}
BENCHMARK(BM_SaveMirrored2000)->Unit(benchmark::kMillisecond);

// Ten repeats: 20000 frames written. The foot plants are found in the first run only, as a
// clip's motion keeps them.
void BM_SaveRepeated2000Times10(benchmark::State& state) {
    tavrel::CMotion motion(MotionFile(2000), 0);
    const std::string out = WorkingPath("repeated.chb");
    for (auto _ : state) motion.SaveRepeated(out, 10);
}
BENCHMARK(BM_SaveRepeated2000Times10)->Unit(benchmark::kMillisecond);

// Foot plants of an 18000-frame motion (five minutes at 60 fps) from a file read into memory:
// found once when a clip first needs them. Target: at most 50 ms.
void BM_FindFootContacts18000(benchmark::State& state) {
    tavrel::CMotion motion(MotionFile(18000), 0);
    motion.GetPose(0);  // the frames are read at the first request, not in the measured time
    for (auto _ : state) {
        const tavrel::FootContacts contacts = tavrel::FindFootContacts(
            motion.GetLength(), [&](int i) { return motion.GetData()->GetFrame(i); });
        benchmark::DoNotOptimize(contacts.Plants(0).size());
    }
}
BENCHMARK(BM_FindFootContacts18000)->Unit(benchmark::kMillisecond);

// The best point for a drop of one 2000-frame motion over the end of another: every overlap
// that starts in A's last 2000 frames and lies in B's first 2000. Target: at most 50 ms.
void BM_BestTransition2000By2000(benchmark::State& state) {
    tavrel::CMotion a(MotionFile(2000), 0), b(MotionFile(2001), 0);
    for (auto _ : state) {
        benchmark::DoNotOptimize(tavrel::BestTransition(a, b, {4, 2000, 2000}).distance);
    }
}
BENCHMARK(BM_BestTransition2000By2000)->Unit(benchmark::kMillisecond);

}  // namespace

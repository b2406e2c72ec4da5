// tavrel-cli as a user runs it: whole processes, from exec to exit, on a long motion of 18000
// frames of 20 segments. The figures include starting the process and loading its libraries
// (BM_CliHelp shows that part alone).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "AnimRead/CHBRead/CHBRead.h"
#include "tests/support/FbxBinary.h"
#include "tests/support/SceneFigure.h"
#include "tests/support/TempFolder.h"

extern char** environ;

namespace {

constexpr int kFrames = 18000;

// The long motion as CHB and CHA, written once for all cases with the program's own writers.
class LongMotionFiles {
public:
    LongMotionFiles() {
        tavrel::CHBREAD motion;
        rkNode* root = motion.GetFrame(0);
        for (int frame = 0; frame < kFrames; ++frame) {
            for (int32_t i = 0; i < motion.GetSegmentCount(); ++i) {
                rkNode* node = motion.GetSegment(i)->node;
                for (int e : {0, 1, 2, 4, 5, 6, 8, 9, 10}) {
                    node->local.m[e] = static_cast<float>(std::sin(frame * 0.01 + i + e));
                }
                node->local.m[12] = static_cast<float>(std::cos(frame * 0.003 + i) * 120.0);
                node->local.m[13] = static_cast<float>(std::sin(frame * 0.002 + i) * 80.0);
            }
            motion.SetFrame(root, frame);
        }
        motion.WriteAs(Path("long.cha").c_str(), 0);
        motion.WriteAs(Path("long.chb").c_str(), 1);
        // A skinned figure with one take of 20 s keyed 60 times a second: about 3 MB of FBX.
        tavrel::testing::SceneFigure figure("mixamorig:");
        figure.takes = {{"Take 001", 20.0, 60}};
        figure.ticksPerSecond = 1;  // the exporter writes key times as seconds
        for (auto& joint : figure.joints) joint.preRotated = false;
        figure.Export(Path("take.fbx"), "fbxa", true);
        // The same take as binary FBX with cubic keys, as animation tools write it: its curves are
        // read again from the file and followed along their slopes.
        figure.Export(Path("binary.part"), "fbx", true);
        using tavrel::testing::FbxBinary;
        std::string bytes = FbxBinary::Closed(tavrel::testing::ReadFile(Path("binary.part")));
        FbxBinary::SetFlags(bytes, 0x8);
        FbxBinary::SetSlopes(bytes, 0.5f, -0.5f);
        std::ofstream(Path("cubic.fbx"), std::ios::binary) << bytes;
    }
    std::string Path(const std::string& name) const { return folder_ / name; }

private:
    tavrel::testing::TempFolder folder_;
};

LongMotionFiles& Files() {
    static LongMotionFiles files;
    return files;
}

// Runs tavrel-cli with the arguments, its output thrown away; returns its exit status.
int RunTool(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    std::string tool = TAVREL_CLI_PATH;
    argv.push_back(tool.data());
    std::vector<std::string> copies = args;
    for (std::string& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int status = -1;
    if (posix_spawn(&pid, tool.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
        waitpid(pid, &status, 0);
    }
    posix_spawn_file_actions_destroy(&actions);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void RunCase(benchmark::State& state, const std::vector<std::string>& args,
             const std::string& input) {
    for (auto _ : state) {
        if (RunTool(args) != 0) {
            state.SkipWithError("tavrel-cli failed");
            break;
        }
    }
    if (!input.empty()) {
        state.SetBytesProcessed(state.iterations() *
                                static_cast<int64_t>(std::filesystem::file_size(input)));
    }
}

void BM_CliHelp(benchmark::State& state) {
    RunCase(state, {"--help"}, "");
}

void BM_CliInfoChb(benchmark::State& state) {
    RunCase(state, {"info", Files().Path("long.chb")}, "");
}

void BM_CliInfoCha(benchmark::State& state) {
    RunCase(state, {"info", Files().Path("long.cha")}, "");
}

void BM_CliConvertChbToChb(benchmark::State& state) {
    const std::string in = Files().Path("long.chb");
    RunCase(state, {"convert", in, Files().Path("out.chb")}, in);
}

void BM_CliConvertChaToChb(benchmark::State& state) {
    const std::string in = Files().Path("long.cha");
    RunCase(state, {"convert", in, Files().Path("out.chb")}, in);
}

void BM_CliConvertChbToCha(benchmark::State& state) {
    const std::string in = Files().Path("long.chb");
    RunCase(state, {"convert", in, Files().Path("out.cha")}, in);
}

void BM_CliImportFbx(benchmark::State& state) {
    const std::string in = Files().Path("take.fbx");
    RunCase(state, {"import", in, Files().Path("take.chb")}, in);
}

void BM_CliImportBinaryFbx(benchmark::State& state) {
    const std::string in = Files().Path("cubic.fbx");
    RunCase(state, {"import", in, Files().Path("take.chb")}, in);
}

}  // namespace

BENCHMARK(BM_CliHelp)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CliInfoChb)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CliInfoCha)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CliConvertChbToChb)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CliConvertChaToChb)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CliConvertChbToCha)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CliImportFbx)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CliImportBinaryFbx)->Unit(benchmark::kMillisecond)->UseRealTime();

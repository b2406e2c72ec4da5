// tavrel-assets: writes the data files the program ships, all made from the standard
// skeleton: the initial pose, the avatar's body with its picture, and the sample motions.
//   tavrel-assets OUTDIR   (OUTDIR becomes share/tavrel)
#include <cstdio>
#include <filesystem>
#include <string>

#include "AnimRead/CHARead/CHARead.h"
#include "tools/assets/AvatarModel.h"
#include "tools/assets/FaceTexture.h"
#include "tools/assets/HtrWriter.h"
#include "tools/assets/MotionLibrary.h"

namespace fs = std::filesystem;
using namespace tavrel;
using namespace tavrel::assets;

namespace {

// Writes frames through the program's own CHA / CHB writer.
void WriteChaOrChb(const std::vector<SkeletonMatrices>& frames, const fs::path& path, bool chb) {
    CHAREAD motion;  // the standard skeleton, one frame in the rest pose
    rkNode* pose = rkCloneNode(motion.GetFrame(0));
    for (size_t f = 0; f < frames.size(); ++f) {
        for (int i = 0; i < kStandardSegmentCount; ++i) {
            rkSetNodeMatrix(rkFindNode(pose, kStandardSkeleton[i].name), frames[f][i]);
        }
        motion.SetFrame(pose, static_cast<int32_t>(f));
    }
    rkFreeTree(pose);
    motion.SetFrameRate(kMotionFrameRate);
    motion.WriteAs(path.c_str(), chb ? 1 : 0);
}

bool WriteMotion(const MotionRecipe& recipe, const fs::path& library) {
    const fs::path folder = library / recipe.folder;
    fs::create_directories(folder);
    const fs::path path = folder / (recipe.name + "." + recipe.extension);
    const auto frames = BakeMotion(recipe);
    if (recipe.extension == "htr") return HtrWriter::Write(path, frames, kMotionFrameRate);
    WriteChaOrChb(frames, path, recipe.extension == "chb");
    return fs::exists(path);
}

bool WriteAll(const fs::path& out) {
    fs::create_directories(out);
    CHAREAD rest;
    rest.WriteAs((out / "Init.chb").c_str(), 1);
    if (!AvatarScene().Write(out / "avatar.scx")) return false;
    if (!WriteBmp(out / kFaceTextureFile, FaceTexture())) return false;
    for (const MotionRecipe& recipe : MotionLibrary()) {
        if (!WriteMotion(recipe, out / "Motion")) {
            std::fprintf(stderr, "tavrel-assets: cannot write motion %s\n", recipe.name.c_str());
            return false;
        }
    }
    return fs::exists(out / "Init.chb");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tavrel-assets OUTDIR\n");
        return 2;
    }
    try {
        if (WriteAll(argv[1])) return 0;
        std::fprintf(stderr, "tavrel-assets: cannot write into %s\n", argv[1]);
    } catch (const ERROBJ& e) {
        std::fprintf(stderr, "tavrel-assets: %s %s (%s)\n", e.GetText(), e.detail, e.location);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tavrel-assets: %s\n", e.what());
    }
    return 1;
}

// The generated assets: the sample motions read back through the program's own readers, stay
// on the floor and do what their names say; the avatar scene holds one shape per segment.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "AnimRead/StandardSkeleton.h"
#include "motion/AnimFileFactory.h"
#include "scene/ScnScene.h"
#include "tools/assets/AvatarModel.h"
#include "tools/assets/Grounding.h"
#include "tools/assets/HtrWriter.h"
#include "tools/assets/MotionLibrary.h"
#include "tools/assets/Rotation.h"

namespace tavrel::assets {
namespace {

std::string PathOf(const MotionRecipe& recipe) {
    return std::string(TAVREL_SHARE_DIR) + "/Motion/" + recipe.folder + "/" + recipe.name + "." +
           recipe.extension;
}

// Every frame of a motion file as local matrices in the standard skeleton's order.
std::vector<SkeletonMatrices> ReadFrames(const std::string& path) {
    std::unique_ptr<ANIMFILE> motion = CreateAnimFile(path.c_str(), MotionFileTypeOf(path), 0);
    std::vector<SkeletonMatrices> frames;
    if (!motion || motion->GetSegmentCount() != kStandardSegmentCount) return frames;
    for (int f = motion->GetBeginFrame(); f <= motion->GetEndFrame(); ++f) {
        motion->GetFrame(f);
        SkeletonMatrices m;
        for (int i = 0; i < kStandardSegmentCount; ++i) {
            const int segment = motion->FindSegment(kStandardSkeleton[i].name);
            if (segment < 0) return {};
            m[i] = motion->GetSegment(segment)->node->local;
        }
        frames.push_back(m);
    }
    return frames;
}

float MaxDifference(const rkMatrix& a, const rkMatrix& b, int from, int to) {
    float d = 0;
    for (int e = from; e < to; ++e) d = std::max(d, std::abs(a.m[e] - b.m[e]));
    return d;
}

const MotionRecipe& Recipe(const std::string& name) {
    static const std::vector<MotionRecipe> library = MotionLibrary();
    for (const MotionRecipe& s : library) {
        if (s.name == name) return s;
    }
    throw std::runtime_error("no motion " + name);
}

TEST(MotionLibraryTest, HasTheMotionsAUserExpects) {
    std::set<std::string> names, extensions;
    for (const MotionRecipe& recipe : MotionLibrary()) {
        names.insert(recipe.name);
        extensions.insert(recipe.extension);
        EXPECT_GE(recipe.seconds, 2.0f) << recipe.name;
        EXPECT_LE(recipe.seconds, 6.0f) << recipe.name;
    }
    for (const char* name : {"walk", "run", "jump", "wave", "bow", "kick", "idle", "turn", "squat",
                             "clap", "punch", "sitdown"}) {
        EXPECT_TRUE(names.count(name)) << name;
    }
    EXPECT_EQ(extensions, (std::set<std::string>{"cha", "chb", "htr"}));
}

TEST(MotionLibraryTest, FilesReadBackAsBakedOnTheStandardSkeleton) {
    for (const MotionRecipe& recipe : MotionLibrary()) {
        const auto baked = BakeMotion(recipe);
        const auto read = ReadFrames(PathOf(recipe));
        ASSERT_EQ(read.size(), baked.size()) << recipe.name;
        // Made at the timeline's rate, so they play at their own speed frame for frame.
        const auto head =
            CreateAnimFile(PathOf(recipe).c_str(), MotionFileTypeOf(PathOf(recipe)), 0);
        ASSERT_TRUE(head) << recipe.name;
        EXPECT_EQ(head->GetFrameRate(), 60) << recipe.name;
        EXPECT_EQ(read.size(), size_t(std::lround(recipe.seconds * 60))) << recipe.name;
        // CHA keeps three decimals; HTR goes through Euler angles and the root's axis swap.
        const float rotation = recipe.extension == "chb"   ? 1e-5f
                               : recipe.extension == "cha" ? 1e-3f
                                                           : 5e-3f;
        const float translation = recipe.extension == "chb" ? 1e-3f : 2e-2f;
        float worstRotation = 0, worstTranslation = 0;
        for (size_t f = 0; f < read.size(); ++f) {
            for (int i = 0; i < kStandardSegmentCount; ++i) {
                worstRotation =
                    std::max(worstRotation, MaxDifference(read[f][i], baked[f][i], 0, 11));
                worstTranslation =
                    std::max(worstTranslation, MaxDifference(read[f][i], baked[f][i], 12, 15));
            }
        }
        EXPECT_LT(worstRotation, rotation) << recipe.name;
        EXPECT_LT(worstTranslation, translation) << recipe.name;
    }
}

TEST(MotionLibraryTest, EulerAnglesRebuildTheRotation) {
    for (const rkMatrix& m : {Rotation(kX, 30) * Rotation(kY, -50) * Rotation(kZ, 120),
                              Rotation(kY, 90) * Rotation(kZ, 10), Rotation(kZ, -179)}) {
        const rkVector e = HtrWriter::EulerOf(m);
        const rkMatrix back = Rotation(kX, e.x) * Rotation(kY, e.y) * Rotation(kZ, e.z);
        EXPECT_LT(MaxDifference(m, back, 0, 11), 1e-4f);
    }
}

TEST(MotionLibraryTest, FeetNeverSinkThroughTheFloor) {
    for (const MotionRecipe& recipe : MotionLibrary()) {
        float lowest = 1e9f;
        for (const SkeletonMatrices& frame : ReadFrames(PathOf(recipe))) {
            const Contacts c = ContactsOf(WorldsOf(frame));
            for (int i = 0; i < (recipe.seated ? kContactCount : 4); ++i)
                lowest = std::min(lowest, c.point[i].z);
        }
        EXPECT_GT(lowest, kGroundZ - 0.1f) << recipe.name;
        EXPECT_LT(lowest, kGroundZ + 2.0f) << recipe.name;  // and something stands on it
    }
}

rkVector RootAt(const std::vector<SkeletonMatrices>& frames, size_t f) {
    return Translation(frames[f][kLowerTorso]);
}

TEST(MotionLibraryTest, MotionsDoWhatTheirNamesSay) {
    const auto walk = ReadFrames(PathOf(Recipe("walk")));
    const auto run = ReadFrames(PathOf(Recipe("run")));
    // Walking and running carry the figure forward (-y), running faster.
    const float walked = RootAt(walk, 0).y - RootAt(walk, walk.size() - 1).y;
    const float ran = RootAt(run, 0).y - RootAt(run, run.size() - 1).y;
    EXPECT_GT(walked / Recipe("walk").seconds, 80.0f);
    EXPECT_GT(ran / Recipe("run").seconds, 1.5f * walked / Recipe("walk").seconds);
    EXPECT_LT(std::abs(RootAt(walk, walk.size() - 1).x), 20.0f);
    // A jump leaves the floor; a squat and sitting down bring the hips low.
    auto lowestAndHighestRoot = [](const std::vector<SkeletonMatrices>& frames) {
        float lo = 1e9f, hi = -1e9f;
        for (size_t f = 0; f < frames.size(); ++f) {
            lo = std::min(lo, RootAt(frames, f).z);
            hi = std::max(hi, RootAt(frames, f).z);
        }
        return std::pair{lo, hi};
    };
    const float standing = Translation(Rest().local[kLowerTorso]).z;
    EXPECT_GT(lowestAndHighestRoot(ReadFrames(PathOf(Recipe("jump")))).second, standing + 80.0f);
    EXPECT_LT(lowestAndHighestRoot(ReadFrames(PathOf(Recipe("squat")))).first, standing - 100.0f);
    EXPECT_LT(lowestAndHighestRoot(ReadFrames(PathOf(Recipe("sitdown")))).first, kGroundZ + 60.0f);
    // Turning ends facing the other way: the root's sideways axis points the other way.
    const auto turn = ReadFrames(PathOf(Recipe("turn")));
    EXPECT_LT(Row(turn.back()[kLowerTorso], 0).x, -0.95f);
    // Waving raises the right hand above the head.
    const auto wave = ReadFrames(PathOf(Recipe("wave")));
    const SkeletonMatrices w = WorldsOf(wave[wave.size() / 2]);
    EXPECT_GT(Translation(w[kRHand]).z, Translation(w[kHead]).z);
    EXPECT_LT(Translation(w[kLHand]).z, Translation(w[kLowerTorso]).z);
}

TEST(AvatarSceneTest, OneTexturedOrPlainShapePerSegment) {
    ScnScene scene{};
    ASSERT_EQ(scnLoadScene(TAVREL_SHARE_DIR "/avatar.scx", &scene), 1);
    ASSERT_EQ(scene.geomCount, kStandardSegmentCount);
    std::set<std::string> materials;
    for (int i = 0; i < scene.geomCount; ++i) {
        const ScnGeomChunk& chunk = scene.geoms[i];
        EXPECT_STREQ(chunk.record.name, kStandardSkeleton[i].name);
        ASSERT_EQ(chunk.record.materialCount, 1);  // a second material would never be shown
        materials.insert(chunk.materials[0].name);
        EXPECT_GT(chunk.record.faceCount, 100);
        for (int v = 0; v < chunk.record.vertexCount; ++v) {
            const float* n = chunk.vertices[v].normal;
            ASSERT_NEAR(n[0] * n[0] + n[1] * n[1] + n[2] * n[2], 1.0f, 1e-4f);
        }
    }
    EXPECT_EQ(materials, (std::set<std::string>{"Face", "Skin", "Shirt", "Trousers", "Shoes"}));
    EXPECT_STREQ(scene.geoms[kHead].materials[0].texture.fileName, "maps\\AvatarFace.bmp");
    scnFreeScene(&scene);
}

}  // namespace
}  // namespace tavrel::assets

// The generated assets: the sample motions read back through the program's own readers, stay
// on the floor and do what their names say; the avatar scene holds one shape per segment.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
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
        EXPECT_LT(lowest, kGroundZ + 4.0f) << recipe.name;  // and something stands on it
    }
}

rkVector RootAt(const std::vector<SkeletonMatrices>& frames, size_t f) {
    return rkOrigin(frames[f][kLowerTorso]);
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
    const float standing = rkOrigin(Rest().local[kLowerTorso]).z;
    EXPECT_GT(lowestAndHighestRoot(ReadFrames(PathOf(Recipe("jump")))).second, standing + 80.0f);
    EXPECT_LT(lowestAndHighestRoot(ReadFrames(PathOf(Recipe("squat")))).first, standing - 100.0f);
    EXPECT_LT(lowestAndHighestRoot(ReadFrames(PathOf(Recipe("sitdown")))).first, kGroundZ + 190.0f);
    // Turning ends facing the other way: the root's sideways axis points the other way.
    const auto turn = ReadFrames(PathOf(Recipe("turn")));
    EXPECT_LT(Row(turn.back()[kLowerTorso], 0).x, -0.95f);
    // Waving raises the right hand above the head.
    const auto wave = ReadFrames(PathOf(Recipe("wave")));
    const SkeletonMatrices w = WorldsOf(wave[wave.size() / 2]);
    EXPECT_GT(rkOrigin(w[kRHand]).z, rkOrigin(w[kHead]).z);
    EXPECT_LT(rkOrigin(w[kLHand]).z, rkOrigin(w[kLowerTorso]).z);
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

// A segment's shape as drawn: its chunk's triangles in the world.
struct Shape {
    std::vector<std::array<rkVector, 3>> triangles;
    float lowest = 1e9f;
};

std::vector<Shape> ShapesOf(const ScnScene& scene) {
    std::vector<Shape> shapes(kStandardSegmentCount);
    for (int i = 0; i < scene.geomCount && i < kStandardSegmentCount; ++i) {
        const ScnGeomChunk& chunk = scene.geoms[i];
        rkMatrix place;
        std::copy(chunk.record.transform, chunk.record.transform + 16, place.m);
        auto at = [&](uint32_t v) {
            const float* p = chunk.vertices[v & 0xFFFF].position;
            return rkTransformPoint({p[0], p[1], p[2]}, place);
        };
        for (int f = 0; f < chunk.record.faceCount; ++f) {
            const uint32_t* index = chunk.faces[f].index;
            shapes[i].triangles.push_back({at(index[0]), at(index[1]), at(index[2])});
            for (const rkVector& corner : shapes[i].triangles.back())
                shapes[i].lowest = std::min(shapes[i].lowest, corner.z);
        }
    }
    return shapes;
}

// How many times the shape winds round the point (the solid angles of its triangles over 4 pi):
// about 1 inside a closed shell, 0 outside, more where parts of a shape overlap.
float WindingAround(const Shape& shape, rkVector point) {
    double total = 0;
    for (const auto& t : shape.triangles) {
        const rkVector a = t[0] - point, b = t[1] - point, c = t[2] - point;
        const double la = std::sqrt(rkDot(a, a)), lb = std::sqrt(rkDot(b, b)),
                     lc = std::sqrt(rkDot(c, c));
        const double det = rkDot(a, rkCross(b, c));
        const double div = la * lb * lc + rkDot(a, b) * lc + rkDot(a, c) * lb + rkDot(b, c) * la;
        total += 2 * std::atan2(det, div);
    }
    return float(std::fabs(total / (4 * 3.14159265358979)));
}

TEST(AvatarSceneTest, EveryJointOfTheInitialPoseLiesInsideItsSegmentsBodyOnTheFloor) {
    // The joints as the program reads them from Init.chb, the body as it reads avatar.scx.
    const auto frames = ReadFrames(TAVREL_SHARE_DIR "/Init.chb");
    ASSERT_EQ(frames.size(), 1u);
    const SkeletonMatrices world = WorldsOf(frames[0]);
    ScnScene scene{};
    ASSERT_EQ(scnLoadScene(TAVREL_SHARE_DIR "/avatar.scx", &scene), 1);
    const std::vector<Shape> shapes = ShapesOf(scene);
    scnFreeScene(&scene);
    float lowest = 1e9f;
    for (int i = 0; i < kStandardSegmentCount; ++i) {
        const rkVector joint = rkOrigin(world[i]);
        const char* name = kStandardSkeleton[i].name;
        // The joint a segment turns about is inside its own shape and inside the shape of
        // the segment it hangs from: a knee is at the end of the thigh and the top of the shin.
        EXPECT_GT(WindingAround(shapes[i], joint), 0.5f) << name << " in its own shape";
        const int parent = kStandardSkeleton[i].parent;
        if (parent >= 0) {
            EXPECT_GT(WindingAround(shapes[parent], joint), 0.5f)
                << name << " in " << kStandardSkeleton[parent].name;
        }
        // And the tip of every limb bone is in its shape (the hands and head end in no joint).
        const rkVector tip = rkTransformPoint({0, kStandardSkeleton[i].length * 0.9f, 0}, world[i]);
        if (i != kHead && i != kLFoot && i != kRFoot && i != kLHand && i != kRHand) {
            EXPECT_GT(WindingAround(shapes[i], tip), 0.5f) << name << " tip";
        }
        lowest = std::min(lowest, shapes[i].lowest);
    }
    // The soles stand on the floor at height 0, and nothing sinks below it.
    for (int foot : {kLFoot, kRFoot}) EXPECT_NEAR(shapes[foot].lowest, kGroundZ, 3.0f);
    EXPECT_GT(lowest, kGroundZ - 0.01f);
    EXPECT_EQ(kGroundZ, 0.0f);
    // A grown-up's size in millimetres: hips a little above half the height, knees half-way
    // between hips and ankles, arms reaching to mid-thigh.
    float top = -1e9f;
    for (const auto& t : shapes[kHead].triangles)
        for (const rkVector& c : t) top = std::max(top, c.z);
    EXPECT_NEAR(top, 1750.0f, 60.0f);
    const float hip = rkOrigin(world[kLThigh]).z, knee = rkOrigin(world[kLLowLeg]).z,
                ankle = rkOrigin(world[kLFoot]).z;
    EXPECT_NEAR(hip / top, 0.53f, 0.03f);
    EXPECT_NEAR((hip - knee) / (hip - ankle), 0.5f, 0.05f);
    EXPECT_NEAR(StandardMetresPerUnit(), 0.001f, 1e-5f);
}

}  // namespace
}  // namespace tavrel::assets

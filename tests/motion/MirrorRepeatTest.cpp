// Mirror and repeat as properties of the sample motions: mirroring twice gives the motion back,
// a mirrored motion's root runs along the reflection of its path and its sides trade places; a
// repeated walk walks on through its seams without stepping back or sliding a planted foot.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "MotionFiles.h"
#include "motion/Legs.h"
#include "motion/MirrorPose.h"
#include "motion/Motion.h"
#include "motion/RepeatCycle.h"
#include "tests/support/TempFolder.h"

namespace tavrel {
namespace {

namespace fs = std::filesystem;

std::string Sample(const std::string& name) {
    return std::string(TAVREL_SHARE_DIR) + "/Motion/" + name;
}

// The standard-skeleton samples: every one an edit can take.
const char* const kSamples[] = {"Locomotion/walk.cha", "Locomotion/run.chb", "Locomotion/turn.chb",
                                "Sports/punch.chb",    "Gestures/wave.cha",  "Gestures/bow.chb",
                                "Gestures/clap.cha",   "Everyday/idle.cha"};

rkVector Joint(CMotion& motion, int frame, const char* name) {
    const std::unique_ptr<CHTR> pose = motion.GetPose(frame);
    return rkOrigin(WorldOf(rkFindNode(pose->GetRoot(), name)));
}

float Heading(CMotion& motion, int frame) {
    return RootPlaceOf(motion.GetPose(frame)->GetRoot()).heading;
}

float AngleBetween(float a, float b) {
    return std::remainder(a - b, 2.0f * float(M_PI));
}

TEST(MirrorPose, MirroringTwiceGivesEverySampleBack) {
    testing::TempFolder dir;
    for (const char* name : kSamples) {
        SCOPED_TRACE(name);
        CMotion source(Sample(name), 0);
        ASSERT_EQ(source.SaveMirrored(dir.Path() + "/once.chb"), 1);
        CMotion once(dir.Path() + "/once.chb", 0);
        ASSERT_EQ(once.SaveMirrored(dir.Path() + "/twice.chb"), 1);
        CMotion twice(dir.Path() + "/twice.chb", 0);
        ASSERT_EQ(twice.GetFrameCount(), source.GetFrameCount());
        for (int f = 0; f < source.GetFrameCount(); f += 7) {
            const std::vector<rkVector> a = WorldJoints(source.GetPose(f)->GetRoot());
            const std::vector<rkVector> b = WorldJoints(twice.GetPose(f)->GetRoot());
            ASSERT_EQ(a.size(), b.size());
            // Millimetres: 1e-4 of a metre is a tenth of one.
            for (size_t j = 0; j < a.size(); ++j) ASSERT_LT(rkLength(a[j] - b[j]), 0.1f) << f;
        }
    }
}

TEST(MirrorPose, TheRootRunsAlongTheReflectedPathAndTheSidesTradePlaces) {
    testing::TempFolder dir;
    for (const char* name : kSamples) {
        SCOPED_TRACE(name);
        CMotion source(Sample(name), 0);
        ASSERT_EQ(source.SaveMirrored(dir.Path() + "/m.chb"), 1);
        CMotion mirrored(dir.Path() + "/m.chb", 0);
        const MirrorPlane plane = SagittalPlaneOf(source.GetPose(0)->GetRoot());
        for (int f = 0; f < source.GetFrameCount(); f += 5) {
            const rkVector p = Joint(source, f, "LowerTorso") - plane.point;
            const rkVector reflected = p - plane.normal * (2.0f * rkDot(p, plane.normal));
            EXPECT_LT(rkLength(Joint(mirrored, f, "LowerTorso") - plane.point - reflected), 0.05f)
                << f;
            // A turn to the left becomes one to the right.
            EXPECT_NEAR(AngleBetween(Heading(mirrored, f), Heading(mirrored, 0)),
                        -AngleBetween(Heading(source, f), Heading(source, 0)), 1e-3f)
                << f;
            // Heights do not change in a mirror: the left hand rises as the right one did
            // (within the few millimetres by which the figure's sides differ).
            for (const auto& [a, b] : {std::pair{"LHand", "RHand"}, std::pair{"RFoot", "LFoot"}})
                EXPECT_NEAR(Joint(mirrored, f, a).z, Joint(source, f, b).z, 25.0f) << a << f;
        }
    }
}

// Trees of named segments: a root with the given children, each with one child of its own.
rkNode* Figure(const std::vector<std::pair<std::string, std::string>>& limbs) {
    rkNode* root = rkCreateNode("Hips");
    for (const auto& [limb, end] : limbs) {
        rkNode* node = rkCreateNode(limb.c_str());
        rkLinkNode(root, node);
        rkLinkNode(node, rkCreateNode(end.c_str()));
    }
    return root;
}

TEST(MirrorPose, PairsAreFoundByNameAndFiguresWithoutThemAreRefused) {
    struct Case {
        std::vector<std::pair<std::string, std::string>> limbs;
        const char* problem;  // a word of the reason, or null when the figure can be mirrored
    };
    const Case cases[] = {
        {{{"LThigh", "LFoot"}, {"RThigh", "RFoot"}}, nullptr},
        {{{"LeftArm", "LeftHand"}, {"RightArm", "RightHand"}, {"Spine", "Head"}}, nullptr},
        {{{"upperarm_l", "hand.L"}, {"upperarm_r", "hand.R"}}, nullptr},
        {{{"Spine", "Head"}, {"Tail", "Tip"}}, "no left and right"},
        {{{"LThigh", "LFoot"}, {"Spine", "Head"}}, "RThigh"},
        {{{"LThigh", "Knee"}, {"Spine", "RThigh"}}, "different places"},
        {{}, "no left and right"},
    };
    for (const Case& c : cases) {
        rkNode* figure = Figure(c.limbs);
        const MirrorPairs pairs = FindMirrorPairs(figure);
        if (c.problem) {
            EXPECT_NE(pairs.problem.find(c.problem), std::string::npos)
                << c.problem << ": " << pairs.problem;
        } else {
            EXPECT_TRUE(pairs.Valid()) << pairs.problem;
        }
        rkFreeTree(figure);
    }
    for (const auto& [name, other] :
         {std::pair{"LowerTorso", ""}, std::pair{"Neck", ""}, std::pair{"RHand", "LHand"},
          std::pair{"L_Foot", "R_Foot"}, std::pair{"mixamorig:LeftFoot", "mixamorig:RightFoot"},
          std::pair{"Rib", ""}, std::pair{"Leg.r", "Leg.l"}}) {
        EXPECT_EQ(OtherSideName(name), other) << name;
    }
}

// --- Repeats ---

struct Repeated {
    explicit Repeated(const std::string& name) : source(Sample(name), 0) {}
    CMotion source;
    std::unique_ptr<CMotion> result;
    int length = 0;
};

std::unique_ptr<Repeated> Repeat(const std::string& name, int times, const std::string& dir) {
    auto r = std::make_unique<Repeated>(name);
    r->length = r->source.GetFrameCount();
    if (r->source.SaveRepeated(dir + "/r.chb", times) != 1) return nullptr;
    r->result = std::make_unique<CMotion>(dir + "/r.chb", 0);
    return r;
}

// How far a foot slides along the floor from one frame to the next: as its plants are found,
// by its heel or its toes, whichever is still (a foot rolls onto its toes while planted).
float Slide(CMotion& motion, int frame, const char* foot) {
    float slide[2];
    for (int k = 0; k < 2; ++k) {
        const std::unique_ptr<CHTR> pose = motion.GetPose(frame + k);
        const rkNode* node = rkFindNode(pose->GetRoot(), foot);
        const rkMatrix world = WorldOf(node);
        const float toe = 0.38f * rkLength(rkOrigin(node->local));
        const rkVector points[2] = {rkOrigin(world), rkTransformPoint({0, toe, 0}, world)};
        static rkVector before[2];
        for (int p = 0; p < 2 && k == 1; ++p)
            slide[p] = std::hypot(points[p].x - before[p].x, points[p].y - before[p].y);
        before[0] = points[0], before[1] = points[1];
    }
    return std::min(slide[0], slide[1]);
}

TEST(RepeatCycle, AWalkWalksOnThroughItsSeamsWithItsPlantedFeetStill) {
    testing::TempFolder dir;
    // The run keeps an even pace rather than planted feet: only its way on is looked at.
    for (const auto& [name, planted] :
         {std::pair{"Locomotion/walk.cha", true}, std::pair{"Locomotion/turn.chb", true},
          std::pair{"Locomotion/run.chb", false}}) {
        SCOPED_TRACE(name);
        constexpr int kTimes = 3;
        const auto r = Repeat(name, kTimes, dir.Path());
        ASSERT_TRUE(r);
        CMotion& out = *r->result;
        const int n = r->length;
        ASSERT_EQ(out.GetFrameCount(), kTimes * n);
        const FootContacts& plants = r->source.GetFootContacts();
        for (int seam = n; seam < kTimes * n; seam += n) {
            // Along the way the body was going just before the seam, it never goes back.
            const rkVector way =
                Joint(out, seam - 1, "LowerTorso") - Joint(out, seam - 9, "LowerTorso");
            for (int f = seam - 12; f < seam + 12; ++f) {
                const rkVector step = Joint(out, f + 1, "LowerTorso") - Joint(out, f, "LowerTorso");
                EXPECT_GE(rkDot(step, {way.x, way.y, 0}), -1e-3f) << f;
                for (const auto& [side, foot] : {std::pair{0, "LFoot"}, std::pair{1, "RFoot"}}) {
                    if (!planted || !plants.PlantAt(side, f % n) ||
                        !plants.PlantAt(side, (f + 1) % n))
                        continue;
                    // Across the seam a planted foot stays; beside it the blend adds next to
                    // nothing to what the cycle's own foot does there.
                    const float own = f + 1 == seam ? 0.0f : Slide(r->source, f % n, foot);
                    EXPECT_LE(Slide(out, f, foot), 3.0f + own) << foot << " at " << f;
                }
            }
        }
        // Away from the seams each repeat is the cycle itself, moved as one piece.
        const int mid = n / 2;
        for (int k = 1; k < kTimes; ++k) {
            const float there =
                rkLength(Joint(r->source, mid, "Head") - Joint(r->source, mid, "LFoot"));
            const float here =
                rkLength(Joint(out, k * n + mid, "Head") - Joint(out, k * n + mid, "LFoot"));
            EXPECT_NEAR(here, there, 0.05f);
        }
    }
}

TEST(RepeatCycle, RefusesWhatCannotBeRepeatedAndWritesNothing) {
    testing::TempFolder dir;
    testing::WriteStandardMotion(dir.Path() + "/one.chb", 1);
    testing::WriteStandardMotion(dir.Path() + "/two.chb", 2);
    CMotion one(dir.Path() + "/one.chb", 0), two(dir.Path() + "/two.chb", 0);
    CMotion missing(dir.Path() + "/none.chb", 0);
    struct Case {
        CMotion* motion;
        int times;
        int saved;
    };
    for (const Case& c : {Case{&one, 3, 0}, Case{&two, 1, 0}, Case{&two, 101, 0}, Case{&two, -5, 0},
                          Case{&missing, 3, 0}, Case{&two, 100, 1}}) {
        const std::string out = dir.Path() + "/out.chb";
        EXPECT_EQ(c.motion->SaveRepeated(out, c.times), c.saved) << c.times;
        EXPECT_EQ(fs::exists(out), c.saved == 1) << c.times;
        if (c.saved) {
            EXPECT_EQ(CMotion(out, 0).GetFrameCount(), 2 * c.times);
        }
        fs::remove(out);
    }
    EXPECT_EQ(missing.SaveMirrored(dir.Path() + "/m.chb"), 0);
    EXPECT_FALSE(fs::exists(dir.Path() + "/m.chb"));
}

}  // namespace
}  // namespace tavrel

// Figures of every common naming scheme, moving at random, mapped onto ours: every segment finds
// its joint, and each bone of ours points where the source's bone points, frame by frame.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "AnimRead/BVHRead/BVHRead.h"
#include "AnimRead/HTRRead/HTRRead.h"
#include "MotionFiles.h"
#include "motion/SkeletonMapper.h"
#include "tests/support/LimbFidelity.h"

namespace tavrel {
namespace {

// A human drawn with up +y, facing +z, its left at +x, in metres. "*" is the side.
struct Part {
    const char* role;
    const char* parent;
    rkVector offset;
};
constexpr Part kBody[] = {
    {"root", "", {0, 0, 0}},          {"hips", "root", {0, 0.95f, 0}},
    {"spine", "hips", {0, 0.1f, 0}},  {"spine1", "spine", {0, 0.1f, 0.01f}},
    {"chest", "spine1", {0, 0.12f, 0}}, {"neck", "chest", {0, 0.1f, 0.01f}},
    {"neck1", "neck", {0, 0.06f, 0}}, {"head", "neck1", {0, 0.08f, 0.02f}},
    {"collar*", "chest", {0.04f, 0.08f, 0}}, {"uparm*", "collar*", {0.14f, 0, -0.01f}},
    {"lowarm*", "uparm*", {0.28f, 0, 0}},    {"hand*", "lowarm*", {0.26f, 0, 0.01f}},
    {"pelvis*", "hips", {0.04f, -0.03f, 0}}, {"thigh*", "pelvis*", {0.05f, -0.04f, 0}},
    {"shin*", "thigh*", {0, -0.42f, 0.01f}}, {"foot*", "shin*", {0, -0.42f, -0.01f}},
    {"toe*", "foot*", {0, -0.06f, 0.12f}},
};

// A scheme names roles ("" leaves one out); its side words stand for "*".
struct Scheme {
    const char* label;
    const char* left;
    const char* right;
    std::vector<std::pair<std::string, std::string>> names;  // role -> name with "*"
};

struct Joint {
    std::string name, role;
    int parent;
    rkVector offset;
};

std::string Replaced(std::string text, const std::string& side) {
    const size_t star = text.find('*');
    return star == std::string::npos ? text : text.replace(star, 1, side);
}

// The scheme's joints, parents first; a left-out role's offset goes to its children.
std::vector<Joint> FigureOf(const Scheme& scheme) {
    std::vector<Joint> joints;
    auto nameOf = [&](const std::string& role) {
        for (const auto& [r, n] : scheme.names)
            if (r == role) return n;
        return std::string();
    };
    std::function<std::pair<int, rkVector>(const std::string&, const std::string&)> placeOf =
        [&](const std::string& role, const std::string& side) -> std::pair<int, rkVector> {
        for (int j = 0; j < static_cast<int>(joints.size()); ++j)
            if (joints[j].role == Replaced(role, side)) return {j, {0, 0, 0}};
        for (const Part& p : kBody) {
            if (role != p.role) continue;
            auto [parent, lead] = p.parent[0] ? placeOf(p.parent, side) : std::pair{-1, rkVector{}};
            const float sx = side == "R" ? -1.0f : 1.0f;
            return {parent, {lead.x + sx * p.offset.x, lead.y + p.offset.y, lead.z + p.offset.z}};
        }
        return {-1, {0, 0, 0}};
    };
    for (const Part& p : kBody) {
        const std::string role = p.role;
        for (const std::string side : {"L", "R"}) {
            const std::string name = nameOf(role);
            if (!name.empty()) {
                auto [parent, offset] = placeOf(role, side);
                const std::string word = side == "L" ? scheme.left : scheme.right;
                joints.push_back({Replaced(name, word), Replaced(role, side), parent, offset});
            }
            if (role.find('*') == std::string::npos) break;
        }
    }
    return joints;
}

// Smooth random turns (degrees) and, with stretch, bone offsets that wander in length and
// direction as captured ones do; the root walks forward.
class RandomMotion {
public:
    RandomMotion(const std::vector<Joint>& figure, uint32_t seed, float stretch)
        : figure_(figure), stretch_(stretch) {
        std::mt19937 random(seed);
        std::uniform_real_distribution<float> amplitude(5, 35), speed(0.05f, 0.2f), phase(0, 6.3f);
        for (size_t k = 0; k < figure.size() * 6; ++k) {
            // Limbs swing freely; the trunk, neck and head bend little.
            const bool trunk = figure[k / 6].role.find_first_of("LR") == std::string::npos;
            waves_.push_back({amplitude(random) * (trunk ? 0.35f : 1.0f), speed(random),
                              phase(random)});
        }
    }
    rkVector Angles(size_t joint, int frame) const { return Wave(joint * 6, frame); }
    rkVector Offset(size_t joint, int frame) const {
        const rkVector o = figure_[joint].offset;
        if (figure_[joint].parent < 0) return {o.x + 0.01f * frame, o.y, o.z + 0.02f * frame};
        const float length = std::sqrt(o.x * o.x + o.y * o.y + o.z * o.z);
        const rkVector w = Wave(joint * 6 + 3, frame);
        const float k = stretch_ * length / 35.0f;  // waves reach 35
        return {o.x + k * w.x, o.y + k * w.y, o.z + k * w.z};
    }

private:
    struct Sine {
        float amplitude, speed, phase;
    };
    rkVector Wave(size_t k, int frame) const {
        auto at = [&](size_t i) {
            return waves_[i].amplitude * std::sin(waves_[i].speed * frame + waves_[i].phase);
        };
        return {at(k), at(k + 1), at(k + 2)};
    }
    const std::vector<Joint>& figure_;
    float stretch_;
    std::vector<Sine> waves_;
};

std::string Num(float v) {
    return std::to_string(v);
}

// BVH in centimetres; every joint carries position channels when allPositions, and its offset
// is left zero too when zeroOffsets.
std::string Bvh(const std::vector<Joint>& figure, const RandomMotion& motion, int frames,
                bool allPositions, bool zeroOffsets = false) {
    std::string text = "HIERARCHY\n";
    std::function<void(int, int)> emit = [&](int j, int depth) {
        const Joint& joint = figure[j];
        const rkVector o = zeroOffsets ? rkVector{} : joint.offset;
        text += std::string(depth == 0 ? "ROOT " : "JOINT ") + joint.name + "\n{\nOFFSET " +
                Num(o.x * 100) + " " + Num(o.y * 100) + " " + Num(o.z * 100) + "\nCHANNELS " +
                (depth == 0 || allPositions ? "6 Xposition Yposition Zposition " : "3 ") +
                "Zrotation Xrotation Yrotation\n";
        bool leaf = true;
        for (int c = 0; c < static_cast<int>(figure.size()); ++c) {
            if (figure[c].parent == j) emit(c, depth + 1), leaf = false;
        }
        if (leaf) text += "End Site\n{\nOFFSET 0 5 0\n}\n";
        text += "}\n";
    };
    emit(0, 0);
    text += "MOTION\nFrames: " + std::to_string(frames) + "\nFrame Time: 0.0333333\n";
    for (int f = 0; f < frames; ++f) {
        std::function<void(int)> values = [&](int j) {
            if (figure[j].parent < 0 || allPositions) {
                const rkVector p = motion.Offset(j, f);
                text += Num(p.x * 100) + " " + Num(p.y * 100) + " " + Num(p.z * 100) + " ";
            }
            const rkVector a = motion.Angles(j, f);
            text += Num(a.z) + " " + Num(a.x) + " " + Num(a.y) + " ";
            for (int c = 0; c < static_cast<int>(figure.size()); ++c) {
                if (figure[c].parent == j) values(c);
            }
        };
        values(0);
        text += "\n";
    }
    return text;
}

// HTR in centimetres; with zeroBase every rest translation is left to the frames.
std::string Htr(const std::vector<Joint>& figure, const RandomMotion& motion, int frames,
                bool zeroBase) {
    std::string text =
        "[Header]\nFileType htr\nDataType HTRS\nFileVersion 1\nNumSegments " +
        std::to_string(figure.size()) + "\nNumFrames " + std::to_string(frames) +
        "\nDataFrameRate 30\nEulerRotationOrder ZYX\nCalibrationUnits cm\nRotationUnits "
        "Degrees\nGlobalAxisofGravity Y\nBoneLengthAxis Y\nScaleFactor 1\n"
        "[SegmentNames&Hierarchy]\n";
    for (const Joint& j : figure)
        text += j.name + " " + (j.parent < 0 ? "GLOBAL" : figure[j.parent].name) + "\n";
    text += "[BasePosition]\n";
    auto base = [&](size_t j) { return zeroBase ? rkVector{} : figure[j].offset; };
    for (size_t j = 0; j < figure.size(); ++j) {
        const rkVector b = base(j);
        text += figure[j].name + " " + Num(b.x * 100) + " " + Num(b.y * 100) + " " +
                Num(b.z * 100) + " 0 0 0 " + (zeroBase ? "0" : "10") + "\n";
    }
    for (size_t j = 0; j < figure.size(); ++j) {
        text += "[" + figure[j].name + "]\n";
        for (int f = 0; f < frames; ++f) {
            const rkVector p = motion.Offset(j, f), b = base(j), a = motion.Angles(j, f);
            text += std::to_string(f + 1) + " " + Num((p.x - b.x) * 100) + " " +
                    Num((p.y - b.y) * 100) + " " + Num((p.z - b.z) * 100) + " " + Num(a.x) + " " +
                    Num(a.y) + " " + Num(a.z) + " 1\n";
        }
    }
    return text;
}

const Scheme kMixamo{"prefixed", "Left", "Right",
                     {{"hips", "mixamorig:Hips"}, {"spine", "mixamorig:Spine"},
                      {"spine1", "mixamorig:Spine1"}, {"chest", "mixamorig:Spine2"},
                      {"neck", "mixamorig:Neck"}, {"head", "mixamorig:Head"},
                      {"collar*", "mixamorig:*Shoulder"}, {"uparm*", "mixamorig:*Arm"},
                      {"lowarm*", "mixamorig:*ForeArm"}, {"hand*", "mixamorig:*Hand"},
                      {"thigh*", "mixamorig:*UpLeg"}, {"shin*", "mixamorig:*Leg"},
                      {"foot*", "mixamorig:*Foot"}, {"toe*", "mixamorig:*ToeBase"}}};

// Which segment each role is.
constexpr std::pair<const char*, int> kRoleSegments[] = {
    {"hips", kLowerTorso}, {"chest", kUpperTorso}, {"neck", kNeck},      {"head", kHead},
    {"collarL", kLCollar}, {"collarR", kRCollar},  {"uparmL", kLUpArm},  {"uparmR", kRUpArm},
    {"lowarmL", kLLowArm}, {"lowarmR", kRLowArm},  {"handL", kLHand},    {"handR", kRHand},
    {"pelvisL", kLPelvis}, {"pelvisR", kRPelvis},  {"thighL", kLThigh},  {"thighR", kRThigh},
    {"shinL", kLLowLeg},   {"shinR", kRLowLeg},    {"footL", kLFoot},    {"footR", kRFoot}};

TEST(MappedLimbs, EverySchemeFindsEverySegmentAndKeepsItsLimbDirections) {
    const Scheme schemes[] = {
        {"older capture", "Left", "Right",
         {{"hips", "Hips"}, {"spine1", "Chest"}, {"chest", "Chest2"}, {"neck", "Neck"},
          {"head", "Head"}, {"collar*", "*Collar"}, {"uparm*", "*Shoulder"},
          {"lowarm*", "*Elbow"}, {"hand*", "*Wrist"}, {"thigh*", "*Hip"}, {"shin*", "*Knee"},
          {"foot*", "*Ankle"}}},
        {"shoulder without collar", "Left", "Right",
         {{"hips", "Hips"}, {"chest", "Chest"}, {"neck", "Neck"}, {"head", "Head"},
          {"uparm*", "*Shoulder"}, {"lowarm*", "*Elbow"}, {"hand*", "*Wrist"},
          {"thigh*", "*Hip"}, {"shin*", "*Knee"}, {"foot*", "*Ankle"}}},
        {"game engine", "l", "r",
         {{"hips", "pelvis"}, {"spine", "spine_01"}, {"spine1", "spine_02"},
          {"chest", "spine_03"}, {"neck", "neck_01"}, {"head", "head"},
          {"collar*", "clavicle_*"}, {"uparm*", "upperarm_*"}, {"lowarm*", "lowerarm_*"},
          {"hand*", "hand_*"}, {"thigh*", "thigh_*"}, {"shin*", "calf_*"}, {"foot*", "foot_*"},
          {"toe*", "ball_*"}}},
        {"deforming bones", "L", "R",
         {{"hips", "DEF-spine"}, {"spine", "DEF-spine.001"}, {"spine1", "DEF-spine.002"},
          {"chest", "DEF-spine.003"}, {"neck", "DEF-spine.004"}, {"neck1", "DEF-spine.005"},
          {"head", "DEF-spine.006"}, {"collar*", "DEF-shoulder.*"},
          {"uparm*", "DEF-upper_arm.*"}, {"lowarm*", "DEF-forearm.*"}, {"hand*", "DEF-hand.*"},
          {"pelvis*", "DEF-pelvis.*"}, {"thigh*", "DEF-thigh.*"}, {"shin*", "DEF-shin.*"},
          {"foot*", "DEF-foot.*"}, {"toe*", "DEF-toe.*"}}},
        // BVH names are single words: these exporters write "_" for the spaces.
        {"biped", "L", "R",
         {{"root", "Bip01"}, {"hips", "Bip01_Pelvis"}, {"spine", "Bip01_Spine"},
          {"spine1", "Bip01_Spine1"}, {"chest", "Bip01_Spine2"}, {"neck", "Bip01_Neck"},
          {"head", "Bip01_Head"}, {"collar*", "Bip01_*_Clavicle"},
          {"uparm*", "Bip01_*_UpperArm"}, {"lowarm*", "Bip01_*_Forearm"},
          {"hand*", "Bip01_*_Hand"}, {"thigh*", "Bip01_*_Thigh"}, {"shin*", "Bip01_*_Calf"},
          {"foot*", "Bip01_*_Foot"}, {"toe*", "Bip01_*_Toe0"}}},
        kMixamo,
    };
    testing::TempDir dir;
    uint32_t seed = 1;
    for (const Scheme& scheme : schemes) {
        SCOPED_TRACE(scheme.label);
        const std::vector<Joint> figure = FigureOf(scheme);
        testing::WriteText(dir / "figure.bvh", Bvh(figure, RandomMotion(figure, seed++, 0), 8, false));
        BVHREAD source((dir / "figure.bvh").c_str(), 1);
        const CSkeletonMapper::Result r = CSkeletonMapper::Map(source, {});
        if (!r.motion) {
            ADD_FAILURE() << r.message;
            continue;
        }
        for (const auto& [role, segment] : kRoleSegments) {
            std::string expected;
            for (const Joint& j : figure)
                if (j.role == role) expected = j.name;
            const std::string found =
                r.joints[segment] < 0 ? "" : source.GetSegment(r.joints[segment])->name;
            EXPECT_EQ(found, expected) << kStandardSkeleton[segment].name;
        }
        const testing::LimbAngles angles = testing::MeasureLimbAngles(source, r);
        EXPECT_LT(angles.median, 2.0f);
        EXPECT_LT(angles.p95, 5.0f);
    }
}

// Captured joints drift apart and together: every BVH joint carries positions that are not its
// offset, and HTR frames move each segment off its base. Bones must still point as the source's.
TEST(MappedLimbs, CapturedMotionsKeepTheirLimbDirectionsFrameByFrame) {
    const std::vector<Joint> figure = FigureOf(kMixamo);
    testing::TempDir dir;
    for (uint32_t seed = 1; seed <= 4; ++seed) {
        const RandomMotion motion(figure, seed, 0.12f);
        testing::WriteText(dir / "m.bvh", Bvh(figure, motion, 90, true));
        testing::WriteText(dir / "m.htr", Htr(figure, motion, 90, false));
        BVHREAD bvh((dir / "m.bvh").c_str(), 1);
        HTRREAD htr((dir / "m.htr").c_str(), 1);
        for (ANIMFILE* source : {static_cast<ANIMFILE*>(&bvh), static_cast<ANIMFILE*>(&htr)}) {
            SCOPED_TRACE(std::string(source == &bvh ? "BVH" : "HTR") + " seed " +
                         std::to_string(seed));
            const CSkeletonMapper::Result r = CSkeletonMapper::Map(*source, {});
            ASSERT_TRUE(r.motion) << r.message;
            const testing::LimbAngles angles = testing::MeasureLimbAngles(*source, r);
            EXPECT_LT(angles.median, 2.0f);
            EXPECT_LT(angles.p95, 5.0f);
        }
    }
}

// Some exporters leave every base position (BVH: offset) zero and write the rest translations in
// the frames only. Such a file maps as the same motion written with proper rest positions does.
TEST(MappedLimbs, ZeroRestPositionsAreTakenFromTheFrames) {
    const std::vector<Joint> figure = FigureOf(kMixamo);
    testing::TempDir dir;
    for (uint32_t seed = 11; seed <= 13; ++seed) {
        const RandomMotion motion(figure, seed, 0);
        testing::WriteText(dir / "base.htr", Htr(figure, motion, 40, false));
        testing::WriteText(dir / "zero.htr", Htr(figure, motion, 40, true));
        testing::WriteText(dir / "base.bvh", Bvh(figure, motion, 40, true));
        testing::WriteText(dir / "zero.bvh", Bvh(figure, motion, 40, true, true));
        HTRREAD htr((dir / "base.htr").c_str(), 1), zeroHtr((dir / "zero.htr").c_str(), 1);
        BVHREAD bvh((dir / "base.bvh").c_str(), 1), zeroBvh((dir / "zero.bvh").c_str(), 1);
        const std::pair<ANIMFILE*, ANIMFILE*> pairs[] = {{&htr, &zeroHtr}, {&bvh, &zeroBvh}};
        for (const auto& [based, zero] : pairs) {
            SCOPED_TRACE(std::string(based == &htr ? "HTR" : "BVH") + " seed " +
                         std::to_string(seed));
            const CSkeletonMapper::Result want = CSkeletonMapper::Map(*based, {});
            const CSkeletonMapper::Result got = CSkeletonMapper::Map(*zero, {});
            ASSERT_TRUE(want.motion) << want.message;
            ASSERT_TRUE(got.motion) << got.message;
            EXPECT_EQ(got.unit, want.unit);
            EXPECT_EQ(got.upAxis, 'Y');
            EXPECT_LT(testing::MeasureLimbAngles(*zero, got).p95, 5.0f);
            // Same stance, heading, size and path: every joint where the proper file puts it.
            float worst = 0;
            for (int64_t f = 0; f < 40; ++f) {
                const auto a = testing::JointPositions(*want.motion, f);
                const auto b = testing::JointPositions(*got.motion, f);
                for (size_t s = 0; s < a.size(); ++s) {
                    worst = std::max({worst, std::fabs(a[s].x - b[s].x),
                                      std::fabs(a[s].y - b[s].y), std::fabs(a[s].z - b[s].z)});
                }
            }
            // Millimetres on a figure 1.8 m tall: the hips' twist about the spine comes from
            // another rest pose, which moves our hip joints, set beside the spine, a little.
            EXPECT_LT(worst, 10.0f);
        }
    }
}
}  // namespace
}  // namespace tavrel

// Motions of other skeletons mapped onto ours: names of the usual schemes matched, and figures in
// any units and up axis standing upright, facing front, feet on the ground, left on the left.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "AnimRead/BVHRead/BVHRead.h"
#include "AnimRead/StandardSkeleton.h"
#include "MotionFiles.h"
#include "motion/SkeletonMapper.h"

namespace tavrel {
namespace {

TEST(SkeletonMapper, NamesOfTheUsualSchemesFindTheirSegments) {
    const std::pair<const char*, const char*> cases[] = {
        {"mixamorig:Hips", "LowerTorso"},
        {"mixamorig:LeftUpLeg", "LThigh"},
        {"RightLeg", "RLowLeg"},
        {"LeftForeArm", "LLowArm"},
        {"LeftShoulder", "LCollar"},
        {"Spine2", "UpperTorso"},
        {"pelvis", "LowerTorso"},
        {"thigh_l", "LThigh"},
        {"calf_r", "RLowLeg"},
        {"upperarm_l", "LUpArm"},
        {"lowerarm_r", "RLowArm"},
        {"clavicle_l", "LCollar"},
        {"neck_01", "Neck"},
        {"Bip01 L Thigh", "LThigh"},
        {"Bip01 R Forearm", "RLowArm"},
        {"Bip01 Pelvis", "LowerTorso"},
        {"LHipJoint", "LPelvis"},
        {"lfemur", "LThigh"},
        {"rtibia", "RLowLeg"},
        {"lhumerus", "LUpArm"},
        {"rradius", "RLowArm"},
        {"lwrist", "LHand"},
        {"rig:Head", "Head"},
        {"Character1_RightHand", "RHand"},
        {"HipLeft", "LThigh"},
        {"lowerback", "UpperTorso"},
        {"foot.R", "RFoot"},
    };
    for (const auto& [name, segment] : cases) {
        const int32_t s = CSkeletonMapper::SegmentForName(name);
        ASSERT_GE(s, 0) << name;
        EXPECT_STREQ(kStandardSkeleton[s].name, segment) << name;
    }
    for (const char* other :
         {"LeftToeBase", "mixamorig:HeadTop_End", "root", "Bip01", "LeftHandThumb1", "leg_ik"}) {
        EXPECT_EQ(CSkeletonMapper::SegmentForName(other), -1) << other;
    }
}

// A small human in a naming scheme, drawn in "canonical" coordinates (up +y, facing +z, its left
// at +x, lengths in metres) and written in the file's own units and up axis.
struct Scheme {
    std::function<std::string(const std::string& canonical)> name;
    float unit;             // file units per metre
    bool zUp;               // file up is +z (facing -y) instead of +y
    bool twoNecks = false;  // Neck -> Neck1 -> Head, as some converted captures have
};

struct Joint {
    std::string canonical;
    rkVector offset;  // metres, canonical axes
    std::vector<Joint> children;
    bool end = false;
};

class FigureWriter {
public:
    explicit FigureWriter(const Scheme& scheme) : scheme_(scheme) {}

    // Walks forward 0.02 m and to its left 0.01 m a frame, swinging the left thigh; the arms
    // hang 70 degrees down.
    std::string Bvh(int frames) {
        text_ = "HIERARCHY\n";
        order_.clear();
        Emit(Figure(), 0);
        text_ += "MOTION\nFrames: " + std::to_string(frames) + "\nFrame Time: 0.0333333\n";
        for (int f = 0; f < frames; ++f) {
            for (const std::string& joint : order_) {
                if (joint == "Hips") {
                    const rkVector p = File({0.01f * f, 0.95f, 0.02f * f});
                    text_ += Num(p.x) + " " + Num(p.y) + " " + Num(p.z) + " ";
                }
                float x = 0, z = 0;
                if (joint == "LeftUpLeg") x = 30.0f * std::sin(f * 0.3f);
                if (joint == "LeftArm") z = -70.0f;
                if (joint == "RightArm") z = 70.0f;
                // Canonical turns about x stay about x; about z they become about -y in Z-up files.
                text_ +=
                    Num(scheme_.zUp ? 0 : z) + " " + Num(x) + " " + Num(scheme_.zUp ? -z : 0) + " ";
            }
            text_ += "\n";
        }
        return text_;
    }

private:
    static Joint Limb(const std::string& side, float sx) {
        Joint hand{side + "Hand", {sx * 0.26f, 0, 0}, {}, true};
        Joint fore{side + "ForeArm", {sx * 0.28f, 0, 0}, {hand}};
        Joint arm{side + "Arm", {sx * 0.12f, 0, 0}, {fore}};
        return Joint{side + "Shoulder", {sx * 0.05f, 0.1f, 0}, {arm}};
    }
    static Joint Leg(const std::string& side, float sx) {
        Joint toe{side + "ToeBase", {0, -0.06f, 0.12f}, {}, true};
        Joint foot{side + "Foot", {0, -0.42f, 0}, {toe}};
        Joint leg{side + "Leg", {0, -0.42f, 0}, {foot}};
        return Joint{side + "UpLeg", {sx * 0.09f, -0.05f, 0}, {leg}};
    }
    Joint Figure() const {
        Joint head{"Head", {0, 0.1f, 0}, {}, true};
        Joint neck = scheme_.twoNecks
                         ? Joint{"Neck", {0, 0.08f, 0}, {Joint{"Neck1", {0, 0.07f, 0}, {head}}}}
                         : Joint{"Neck", {0, 0.15f, 0}, {head}};
        Joint chest{"Spine2", {0, 0.12f, 0}, {neck, Limb("Left", 1), Limb("Right", -1)}};
        Joint spine{"Spine", {0, 0.1f, 0}, {chest}};
        return Joint{"Hips", {0, 0, 0}, {spine, Leg("Left", 1), Leg("Right", -1)}};
    }

    rkVector File(rkVector v) const {
        v = {v.x * scheme_.unit, v.y * scheme_.unit, v.z * scheme_.unit};
        return scheme_.zUp ? rkVector{v.x, -v.z, v.y} : v;
    }
    static std::string Num(float v) { return std::to_string(v); }

    void Emit(const Joint& joint, int depth) {
        const std::string indent(static_cast<size_t>(depth), ' ');
        const rkVector o = File(joint.offset);
        text_ += indent + (depth == 0 ? "ROOT " : "JOINT ") + scheme_.name(joint.canonical) + "\n" +
                 indent + "{\n";
        text_ += indent + " OFFSET " + Num(o.x) + " " + Num(o.y) + " " + Num(o.z) + "\n";
        text_ += indent +
                 (depth == 0 ? " CHANNELS 6 Xposition Yposition Zposition " : " CHANNELS 3 ") +
                 "Zrotation Xrotation Yrotation\n";
        order_.push_back(joint.canonical);
        for (const Joint& child : joint.children) Emit(child, depth + 1);
        if (joint.end) {
            const rkVector e = File({0, 0.05f, 0});
            text_ += indent + " End Site\n" + indent + " {\n" + indent + "  OFFSET " + Num(e.x) +
                     " " + Num(e.y) + " " + Num(e.z) + "\n" + indent + " }\n";
        }
        text_ += indent + "}\n";
    }

    Scheme scheme_;
    std::string text_;
    std::vector<std::string> order_;
};

std::string Unreal(const std::string& c) {
    static const std::pair<const char*, const char*> names[] = {
        {"Hips", "pelvis"}, {"Spine", "spine_01"},    {"Spine2", "spine_03"},  {"Neck", "neck_01"},
        {"Head", "head"},   {"Shoulder", "clavicle"}, {"ForeArm", "lowerarm"}, {"Arm", "upperarm"},
        {"Hand", "hand"},   {"UpLeg", "thigh"},       {"Leg", "calf"},         {"Foot", "foot"},
        {"ToeBase", "ball"}};
    const bool left = c.rfind("Left", 0) == 0, right = c.rfind("Right", 0) == 0;
    const std::string base = left ? c.substr(4) : right ? c.substr(5) : c;
    for (const auto& [from, to] : names) {
        if (base == from) return std::string(to) + (left ? "_l" : right ? "_r" : "");
    }
    return base;
}

std::string Cmu(const std::string& c) {
    static const std::pair<const char*, const char*> names[] = {
        {"Hips", "root"},   {"Spine", "lowerback"},   {"Spine2", "thorax"},  {"Neck", "lowerneck"},
        {"Head", "head"},   {"Shoulder", "clavicle"}, {"ForeArm", "radius"}, {"Arm", "humerus"},
        {"Hand", "wrist"},  {"UpLeg", "femur"},       {"Leg", "tibia"},      {"Foot", "foot"},
        {"ToeBase", "toes"}};
    const bool left = c.rfind("Left", 0) == 0, right = c.rfind("Right", 0) == 0;
    const std::string base = left ? c.substr(4) : right ? c.substr(5) : c;
    for (const auto& [from, to] : names) {
        if (base == from) return std::string(left ? "l" : right ? "r" : "") + to;
    }
    return base;
}

struct Case {
    const char* label;
    Scheme scheme;
    const char* unit;
    char up;
};

TEST(SkeletonMapper, FiguresOfEverySchemeStandUprightFacingFrontOnTheGround) {
    const Case cases[] = {
        {"mixamo cm Y-up",
         {[](const std::string& c) { return "mixamorig:" + c; }, 100.0f, false},
         "cm",
         'Y'},
        {"unreal m Z-up", {Unreal, 1.0f, true}, "m", 'Z'},
        {"cmu inch Y-up", {Cmu, 39.37f, false}, "inch", 'Y'},
        {"two necks dm Y-up",
         {[](const std::string& c) { return c; }, 10.0f, false, true},
         "dm",
         'Y'},
    };
    // Our own figure's directions, from its rest pose.
    auto standard = CreateAnimFile(nullptr, kTypeCHB, 1);
    ASSERT_TRUE(standard);
    auto worldOf = [](ANIMFILE& motion, int frame, const char* name) {
        motion.GetFrame(frame);
        rkUpdateNode(motion.GetRoot());
        const rkMatrix& w = motion.GetSegment(motion.FindSegment(name))->node->world;
        return rkOrigin(w);
    };
    const rkVector left = worldOf(*standard, 0, "LThigh") - worldOf(*standard, 0, "RThigh");
    const rkVector forward{left.y * 1 - left.z * 0, left.z * 0 - left.x * 1, 0};  // left x up(+z)
    const float ground =
        std::min(worldOf(*standard, 0, "LFoot").z, worldOf(*standard, 0, "RFoot").z);

    testing::TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        testing::WriteText(dir / "figure.bvh", FigureWriter(c.scheme).Bvh(21));
        BVHREAD source((dir / "figure.bvh").c_str(), 1);
        CSkeletonMapper::Result r = CSkeletonMapper::Map(source, {});
        ASSERT_TRUE(r.motion) << r.message;
        EXPECT_EQ(r.unit, c.unit);
        EXPECT_EQ(r.upAxis, c.up);
        // Of two like-named joints the one nearer the root is the segment's.
        EXPECT_EQ(source.GetSegment(r.joints[kNeck])->name, c.scheme.name("Neck"));
        ANIMFILE& m = *r.motion;
        EXPECT_EQ(m.GetEndFrame(), 20);
        // Upright.
        EXPECT_GT(worldOf(m, 0, "Head").z, worldOf(m, 0, "UpperTorso").z);
        EXPECT_GT(worldOf(m, 0, "UpperTorso").z, worldOf(m, 0, "LowerTorso").z);
        EXPECT_GT(worldOf(m, 0, "LowerTorso").z, worldOf(m, 0, "LFoot").z);
        // Feet on our ground: the right foot never swings, so it stands on it throughout.
        for (int f : {0, 10, 20}) EXPECT_NEAR(worldOf(m, f, "RFoot").z, ground, 1.6f) << f;
        // Left on the left: the hanging left hand, and the thigh that swings, are ours on the left.
        EXPECT_GT(rkDot(worldOf(m, 0, "LHand") - worldOf(m, 0, "RHand"), left), 0);
        EXPECT_LT(worldOf(m, 0, "LHand").z, worldOf(m, 0, "LUpArm").z);  // the arms hang down
        EXPECT_LT(worldOf(m, 0, "RHand").z, worldOf(m, 0, "RUpArm").z);
        // Facing front: over 20 frames it walks 0.4 m towards our front and 0.2 m to our left,
        // both scaled to our units.
        const rkVector walked = worldOf(m, 20, "LowerTorso") - worldOf(m, 0, "LowerTorso");
        const float metre = c.scheme.unit * r.scale;
        EXPECT_NEAR(rkDot(walked, forward) / rkLength(forward), 0.4f * metre, 0.5f);
        EXPECT_NEAR(rkDot(walked, left) / rkLength(left), 0.2f * metre, 0.5f);
    }
}

TEST(SkeletonMapper, OtherFiguresAreRefusedAndMappingFilesFillTheGaps) {
    testing::TempDir dir;
    testing::WriteText(
        dir / "snake.bvh",
        "HIERARCHY\nROOT a\n{\nOFFSET 0 0 0\nCHANNELS 3 Xrotation Yrotation Zrotation\n"
        "JOINT b\n{\nOFFSET 0 1 0\nCHANNELS 3 Xrotation Yrotation Zrotation\n}\n}\n"
        "MOTION\nFrames: 1\nFrame Time: 0.1\n0 0 0 0 0 0\n");
    BVHREAD snake((dir / "snake.bvh").c_str(), 1);
    const CSkeletonMapper::Result refused = CSkeletonMapper::Map(snake, {});
    EXPECT_FALSE(refused.motion);
    EXPECT_NE(refused.message.find("no joint found for LowerTorso, LThigh, RThigh"),
              std::string::npos)
        << refused.message;

    // A figure whose thighs carry numbers only: named in a mapping file, it maps.
    Scheme odd{[](const std::string& c) {
                   return c == "LeftUpLeg" ? "Bone7" : c == "RightUpLeg" ? "Bone8" : c;
               },
               100.0f, false};
    testing::WriteText(dir / "odd.bvh", FigureWriter(odd).Bvh(3));
    testing::WriteText(dir / "map.txt",
                       "# thighs\nBone7 = LThigh\r\n Bone8=RThigh\nLeftToeBase = -\n");
    CSkeletonMapper::Overrides overrides;
    std::string error;
    ASSERT_TRUE(CSkeletonMapper::ReadOverrides(dir / "map.txt", &overrides, &error)) << error;
    BVHREAD source((dir / "odd.bvh").c_str(), 1);
    EXPECT_FALSE(CSkeletonMapper::Map(source, {}).motion);
    const CSkeletonMapper::Result mapped = CSkeletonMapper::Map(source, overrides, 60);
    ASSERT_TRUE(mapped.motion) << mapped.message;
    EXPECT_EQ(source.GetSegment(mapped.joints[4])->name, std::string("Bone7"));
    EXPECT_EQ(mapped.motion->GetFrameRate(), 60);
    EXPECT_EQ(mapped.motion->GetEndFrame(), 4);  // 3 frames at 30 fps span 5 at 60

    testing::WriteText(dir / "bad.txt", "Bone7 = Thigh\n");
    EXPECT_FALSE(CSkeletonMapper::ReadOverrides(dir / "bad.txt", &overrides, &error));
    EXPECT_EQ(error, "line 1: expected JOINT = SEGMENT (a standard segment or -)");
}

}  // namespace
}  // namespace tavrel

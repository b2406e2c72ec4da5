#pragma once
// Human figures of any naming scheme, drawn in code, with smooth random motion written as BVH or
// HTR text, for tests of import and mapping.
#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "ZU2/rkMath.h"

namespace tavrel::testing {

// A human drawn with up +y, facing +z, its left at +x, in metres. "*" is the side.
struct Part {
    const char* role;
    const char* parent;
    rkVector offset;
};
inline constexpr Part kBody[] = {
    {"root", "", {0, 0, 0}},
    {"hips", "root", {0, 0.95f, 0}},
    {"spine", "hips", {0, 0.1f, 0}},
    {"spine1", "spine", {0, 0.1f, 0.01f}},
    {"chest", "spine1", {0, 0.12f, 0}},
    {"neck", "chest", {0, 0.1f, 0.01f}},
    {"neck1", "neck", {0, 0.06f, 0}},
    {"head", "neck1", {0, 0.08f, 0.02f}},
    {"collar*", "chest", {0.04f, 0.08f, 0}},
    {"uparm*", "collar*", {0.14f, 0, -0.01f}},
    {"lowarm*", "uparm*", {0.28f, 0, 0}},
    {"hand*", "lowarm*", {0.26f, 0, 0.01f}},
    {"pelvis*", "hips", {0.04f, -0.03f, 0}},
    {"thigh*", "pelvis*", {0.05f, -0.04f, 0}},
    {"shin*", "thigh*", {0, -0.42f, 0.01f}},
    {"foot*", "shin*", {0, -0.42f, -0.01f}},
    {"toe*", "foot*", {0, -0.06f, 0.12f}},
};

// A scheme names roles ("" leaves one out); its side words stand for "*".
struct Scheme {
    const char* label;
    const char* left;
    const char* right;
    std::vector<std::pair<std::string, std::string>> names;  // role -> name with "*"
    // Roles placed otherwise than kBody places them (left side; the right is mirrored).
    std::vector<std::pair<std::string, rkVector>> offsets = {};
};

// The older capture naming: "Shoulder" is the upper arm and "Collar" the collarbone.
inline const Scheme kOlderCapture{"older capture",
                                  "Left",
                                  "Right",
                                  {{"hips", "Hips"},
                                   {"spine1", "Chest"},
                                   {"chest", "Chest2"},
                                   {"neck", "Neck"},
                                   {"head", "Head"},
                                   {"collar*", "*Collar"},
                                   {"uparm*", "*Shoulder"},
                                   {"lowarm*", "*Elbow"},
                                   {"hand*", "*Wrist"},
                                   {"thigh*", "*Hip"},
                                   {"shin*", "*Knee"},
                                   {"foot*", "*Ankle"}}};

// Mixamo's rig: a spine of three joints, no pelvis joints (the thighs hang from the hips).
inline const Scheme kMixamo{"prefixed",
                            "Left",
                            "Right",
                            {{"hips", "mixamorig:Hips"},
                             {"spine", "mixamorig:Spine"},
                             {"spine1", "mixamorig:Spine1"},
                             {"chest", "mixamorig:Spine2"},
                             {"neck", "mixamorig:Neck"},
                             {"head", "mixamorig:Head"},
                             {"collar*", "mixamorig:*Shoulder"},
                             {"uparm*", "mixamorig:*Arm"},
                             {"lowarm*", "mixamorig:*ForeArm"},
                             {"hand*", "mixamorig:*Hand"},
                             {"thigh*", "mixamorig:*UpLeg"},
                             {"shin*", "mixamorig:*Leg"},
                             {"foot*", "mixamorig:*Foot"},
                             {"toe*", "mixamorig:*ToeBase"}}};

struct Joint {
    std::string name, role;
    int parent;
    rkVector offset;
};

inline std::string Replaced(std::string text, const std::string& side) {
    const size_t star = text.find('*');
    return star == std::string::npos ? text : text.replace(star, 1, side);
}

// The scheme's joints, parents first; a left-out role's offset goes to its children.
inline std::vector<Joint> FigureOf(const Scheme& scheme) {
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
            rkVector o = p.offset;
            for (const auto& [r, moved] : scheme.offsets)
                if (r == role) o = moved;
            return {parent, {lead.x + sx * o.x, lead.y + o.y, lead.z + o.z}};
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
            waves_.push_back(
                {amplitude(random) * (trunk ? 0.35f : 1.0f), speed(random), phase(random)});
        }
    }
    rkVector Angles(size_t joint, int frame) const { return Wave(joint * 6, frame); }
    rkVector Offset(size_t joint, int frame) const {
        const rkVector o = figure_[joint].offset;
        if (figure_[joint].parent < 0) return {o.x + 0.01f * frame, o.y, o.z + 0.02f * frame};
        const float length = rkLength(o);
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

// Motion of chosen swings: each role turns (degrees, about the figure's x, y, z) by its bias plus
// a sine, in seconds, so that the same take can be written at any frame rate; the root travels
// along a straight line at a steady speed (metres a second).
class SwingMotion {
public:
    struct Swing {
        std::string role;  // "*" for either side
        rkVector bias, amplitude;
        float hertz, phase;
    };
    SwingMotion(const std::vector<Joint>& figure, std::vector<Swing> swings, int fps,
                rkVector travel = {0.2f, 0, 0.6f})
        : figure_(figure), swings_(std::move(swings)), fps_(fps), travel_(travel) {}

    rkVector Angles(size_t joint, int frame) const {
        const float t = static_cast<float>(frame) / static_cast<float>(fps_);
        const std::string& role = figure_[joint].role;
        rkVector a{0, 0, 0};
        for (const Swing& s : swings_) {
            const bool sided = s.role.find('*') != std::string::npos;
            if (role != s.role &&
                !(sided && (role == Replaced(s.role, "L") || role == Replaced(s.role, "R"))))
                continue;
            // Mirrored on the right: turns about y and z change sign.
            const float m = role.back() == 'R' && sided ? -1.0f : 1.0f;
            const float wave = std::sin(6.2831853f * s.hertz * t + s.phase);
            a = {s.bias.x + s.amplitude.x * wave, m * (s.bias.y + s.amplitude.y * wave),
                 m * (s.bias.z + s.amplitude.z * wave)};
        }
        return a;
    }
    rkVector Offset(size_t joint, int frame) const {
        const rkVector o = figure_[joint].offset;
        if (figure_[joint].parent >= 0) return o;
        const float t = static_cast<float>(frame) / static_cast<float>(fps_);
        return {o.x + travel_.x * t, o.y + travel_.y * t, o.z + travel_.z * t};
    }
    int Fps() const { return fps_; }

private:
    const std::vector<Joint>& figure_;
    std::vector<Swing> swings_;
    int fps_;
    rkVector travel_;
};

inline std::string Num(float v) {
    return std::to_string(v);
}

// BVH in centimetres; every joint carries position channels when allPositions, and its offset
// is left zero too when zeroOffsets. Motion: RandomMotion (30 frames a second) or SwingMotion.
template <class Motion>
std::string Bvh(const std::vector<Joint>& figure, const Motion& motion, int frames,
                bool allPositions, bool zeroOffsets = false) {
    int fps = 30;
    if constexpr (requires { motion.Fps(); }) fps = motion.Fps();
    std::string text = "HIERARCHY\n";
    std::function<void(int, int)> writeJoint = [&](int j, int depth) {
        const Joint& joint = figure[j];
        const rkVector o = zeroOffsets ? rkVector{} : joint.offset;
        text += std::string(depth == 0 ? "ROOT " : "JOINT ") + joint.name + "\n{\nOFFSET " +
                Num(o.x * 100) + " " + Num(o.y * 100) + " " + Num(o.z * 100) + "\nCHANNELS " +
                (depth == 0 || allPositions ? "6 Xposition Yposition Zposition " : "3 ") +
                "Zrotation Xrotation Yrotation\n";
        bool leaf = true;
        for (int c = 0; c < static_cast<int>(figure.size()); ++c) {
            if (figure[c].parent == j) writeJoint(c, depth + 1), leaf = false;
        }
        if (leaf) text += "End Site\n{\nOFFSET 0 5 0\n}\n";
        text += "}\n";
    };
    writeJoint(0, 0);
    text += "MOTION\nFrames: " + std::to_string(frames) + "\nFrame Time: " + Num(1.0f / fps) + "\n";
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
inline std::string Htr(const std::vector<Joint>& figure, const RandomMotion& motion, int frames,
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

}  // namespace tavrel::testing

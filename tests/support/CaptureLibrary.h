#pragma once
// A motion library as capture studios publish it: BVH files of a 31-joint skeleton of their own
// naming, at 120 frames a second. For the gallery's tests, journeys and benchmarks.
#include <unistd.h>

#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace tavrel::testing {

namespace capture_detail {

struct Joint {
    const char* name;
    int parent;  // index of an earlier joint, -1 for the root
    float x, y, z;
};

// Legs, back, neck and arms with a finger and a thumb on each hand: 31 joints.
inline const std::vector<Joint>& Skeleton() {
    static const std::vector<Joint> joints = {
        {"Hips", -1, 0, 0, 0},
        {"LHipJoint", 0, 1, -1, 0},
        {"LeftUpLeg", 1, 8, -6, 0},
        {"LeftLeg", 2, 0, -42, 0},
        {"LeftFoot", 3, 0, -40, 0},
        {"LeftToeBase", 4, 0, -5, 12},
        {"RHipJoint", 0, -1, -1, 0},
        {"RightUpLeg", 6, -8, -6, 0},
        {"RightLeg", 7, 0, -42, 0},
        {"RightFoot", 8, 0, -40, 0},
        {"RightToeBase", 9, 0, -5, 12},
        {"LowerBack", 0, 0, 2, 0},
        {"Spine", 11, 0, 12, 0},
        {"Spine1", 12, 0, 12, 0},
        {"Neck", 13, 0, 12, 0},
        {"Neck1", 14, 0, 4, 0},
        {"Head", 15, 0, 6, 0},
        {"LeftShoulder", 13, 3, 9, 0},
        {"LeftArm", 17, 14, 0, 0},
        {"LeftForeArm", 18, 28, 0, 0},
        {"LeftHand", 19, 25, 0, 0},
        {"LeftFingerBase", 20, 4, 0, 0},
        {"LeftHandIndex1", 21, 3, 0, 0},
        {"LThumb", 20, 2, 0, 2},
        {"RightShoulder", 13, -3, 9, 0},
        {"RightArm", 24, -14, 0, 0},
        {"RightForeArm", 25, -28, 0, 0},
        {"RightHand", 26, -25, 0, 0},
        {"RightFingerBase", 27, -4, 0, 0},
        {"RightHandIndex1", 28, -3, 0, 0},
        {"RThumb", 27, -2, 0, 2},
    };
    return joints;
}

inline void Hierarchy(std::string& out, int joint, int depth) {
    const auto& joints = Skeleton();
    const std::string indent(size_t(depth) * 2, ' ');
    const Joint& j = joints[size_t(joint)];
    out += indent + (j.parent < 0 ? "ROOT " : "JOINT ") + j.name + "\n" + indent + "{\n";
    out += indent + "  OFFSET " + std::to_string(j.x) + " " + std::to_string(j.y) + " " +
           std::to_string(j.z) + "\n";
    out += indent + (j.parent < 0 ? "  CHANNELS 6 Xposition Yposition Zposition Zrotation "
                                    "Yrotation Xrotation\n"
                                  : "  CHANNELS 3 Zrotation Yrotation Xrotation\n");
    bool leaf = true;
    for (size_t c = 0; c < joints.size(); ++c) {
        if (joints[c].parent == joint) {
            Hierarchy(out, int(c), depth + 1);
            leaf = false;
        }
    }
    if (leaf)
        out += indent + "  End Site\n" + indent + "  {\n" + indent + "    OFFSET 0 3 0\n" + indent +
               "  }\n";
    out += indent + "}\n";
}

inline void Number(std::string& out, double value) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 2);
    out.append(text, end.ptr);
    out += ' ';
}

}  // namespace capture_detail

// A walk-like capture of that many frames; the seed varies its swing.
inline std::string CaptureBvhText(int frames, int seed) {
    using namespace capture_detail;
    std::string out = "HIERARCHY\n";
    Hierarchy(out, 0, 0);
    out += "MOTION\nFrames: " + std::to_string(frames) + "\nFrame Time: 0.008333\n";
    const size_t joints = Skeleton().size();
    out.reserve(out.size() + size_t(frames) * (joints * 3 + 3) * 6);
    for (int f = 0; f < frames; ++f) {
        const double t = f / 120.0, phase = t * 6.0 + seed;
        Number(out, 0), Number(out, 95 + std::sin(phase * 2)), Number(out, t * 60);
        for (size_t j = 0; j < joints; ++j) {
            const double swing = 25 * std::sin(phase + double(j)) * (j % 4 ? 0.4 : 1.0);
            Number(out, swing * 0.2), Number(out, swing * 0.1), Number(out, swing);
        }
        out.back() = '\n';
    }
    return out;
}

// count BVH files named take_0000.bvh ... in folder, of frames from minFrames to maxFrames.
// Only distinct of them are written; the others are hard links to those (copies where links
// are not possible), so a library of thousands of long captures costs little disk.
inline std::vector<std::string> MakeCaptureLibrary(const std::string& folder, int count,
                                                   int distinct, int minFrames, int maxFrames) {
    std::filesystem::create_directories(folder);
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "take_%04d.bvh", i);
        names.push_back(name);
        const std::string path = folder + "/" + name;
        const int body = i % distinct;
        if (i < distinct) {
            const int frames =
                minFrames + (distinct > 1 ? (maxFrames - minFrames) * body / (distinct - 1) : 0);
            std::ofstream(path, std::ios::binary) << CaptureBvhText(frames, body);
            continue;
        }
        const std::string first = folder + "/" + names[size_t(body)];
        std::error_code error;
        std::filesystem::create_hard_link(first, path, error);
        if (error) std::filesystem::copy_file(first, path, error);
    }
    return names;
}

}  // namespace tavrel::testing

#pragma once
// A BVH capture of another skeleton, written out in full, for the tests that import one.
#include <string>
#include <utility>
#include <vector>

namespace tavrel::testing {

// A capture of another skeleton (centimetres, y up) at 30 frames a second, with a tail that
// has no place on ours.
inline std::string CaptureBvh(int frames) {
    std::string text =
        "HIERARCHY\nROOT Hips\n{\nOFFSET 0 0 0\n"
        "CHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation\n";
    int joints = 1;
    auto chain = [&](std::vector<std::pair<std::string, std::string>> links) {
        for (const auto& [name, offset] : links) {
            text += "JOINT " + name + "\n{\nOFFSET " + offset +
                    "\nCHANNELS 3 Zrotation Xrotation Yrotation\n";
            ++joints;
        }
        text += "End Site\n{\nOFFSET 0 -5 0\n}\n";
        for (size_t i = 0; i < links.size(); ++i) text += "}\n";
    };
    chain({{"Spine", "0 15 0"}, {"Neck", "0 40 0"}, {"Head", "0 10 0"}});
    chain({{"LeftUpLeg", "9 -5 0"}, {"LeftLeg", "0 -42 0"}, {"LeftFoot", "0 -42 0"}});
    chain({{"RightUpLeg", "-9 -5 0"}, {"RightLeg", "0 -42 0"}, {"RightFoot", "0 -42 0"}});
    chain({{"LeftArm", "15 45 0"}, {"LeftForeArm", "28 0 0"}, {"LeftHand", "26 0 0"}});
    chain({{"RightArm", "-15 45 0"}, {"RightForeArm", "-28 0 0"}, {"RightHand", "-26 0 0"}});
    chain({{"Tail", "0 -3 -8"}});
    text += "}\nMOTION\nFrames: " + std::to_string(frames) + "\nFrame Time: 0.0333333\n";
    for (int f = 0; f < frames; ++f) {
        text += std::to_string(2 * f) + " 95 0 0 0 0";
        for (int j = 1; j < joints; ++j)
            text += j == 4 ? " 0 " + std::to_string(f * 3) + " 0" : " 0 0 0";
        text += "\n";
    }
    return text;
}

}  // namespace tavrel::testing

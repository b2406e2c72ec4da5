#pragma once
// Writes a motion on the standard skeleton as HTR motion-capture text, the way capture
// software exports it: Euler angles in degrees (ZYX order), Y as the gravity and bone axis.
// The program itself only reads HTR; this writer exists to make sample files.
#include <string>
#include <vector>

#include "tools/assets/PoseBuilder.h"

namespace tavrel::assets {

class HtrWriter {
public:
    // frames: the local matrices of every segment, one set per frame.
    static bool Write(const std::string& path, const std::vector<SkeletonMatrices>& frames,
                      int frameRate);

    // Angles (rx, ry, rz) in degrees with m's rotation = Rx x Ry x Rz (row vectors), the
    // order in which the reader composes them.
    static rkVector EulerOf(const rkMatrix& m);
};

}  // namespace tavrel::assets

#include "tools/assets/HtrWriter.h"

#include <cmath>
#include <cstdio>
#include <memory>

#include "tools/assets/Rotation.h"

namespace tavrel::assets {
namespace {

constexpr float kDegrees = 57.29577951f;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// The reader turns the root's base by 90 degrees about X and swaps the file's Y (up) into
// the motion's Z: this is the root's base rotation before that turn.
rkMatrix FileRootBase(const rkMatrix& restRoot) {
    return rkRotationPart(restRoot) * Inverse(Rotation(kX, 90.0f));
}

// The file's (x, y, z) for a root translation of the motion: the reader maps (x, y, z) of
// the file to (x, -z, y).
rkVector FileRootTranslation(rkVector t) {
    return {t.x, t.z, -t.y};
}

// The rotation the reader builds from three angles.
rkMatrix EulerMatrix(const rkVector& e) {
    return Rotation(kX, e.x) * Rotation(kY, e.y) * Rotation(kZ, e.z);
}

void PutAngles(std::FILE* f, const rkVector& e) {
    std::fprintf(f, " %.5f %.5f %.5f", e.x, e.y, e.z);
}

}  // namespace

rkVector HtrWriter::EulerOf(const rkMatrix& m) {
    const float* a = m.m;
    const float sy = -a[2];
    if (std::abs(sy) < 0.99999f) {
        const float ry = std::asin(sy);
        return {std::atan2(a[6], a[10]) * kDegrees, ry * kDegrees,
                std::atan2(a[1], a[0]) * kDegrees};
    }
    // Looking straight along Y: only the sum of X and Z turns is fixed; put it all on X.
    return {std::atan2(-a[9], a[5]) * kDegrees, (sy > 0 ? 90.0f : -90.0f), 0.0f};
}

bool HtrWriter::Write(const std::string& path, const std::vector<SkeletonMatrices>& frames,
                      int frameRate) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "w"));
    if (!file || frames.empty()) return false;
    std::FILE* f = file.get();
    const RestPose& rest = Rest();
    std::fprintf(f,
                 "[Header]\nFileType htr\nDataType HTRS\n"
                 "FileVersion 1\nNumSegments %d\nNumFrames %zu\nDataFrameRate %d\n"
                 "EulerRotationOrder ZYX\nCalibrationUnits mm\nRotationUnits Degrees\n"
                 "GlobalAxisofGravity Y\nBoneLengthAxis Y\nScaleFactor 1.000000\n",
                 kStandardSegmentCount, frames.size(), frameRate);
    std::fprintf(f, "[SegmentNames&Hierarchy]\n");
    for (const StandardSegment& s : kStandardSkeleton) {
        std::fprintf(f, "%s\t%s\n", s.name,
                     s.parent < 0 ? "GLOBAL" : kStandardSkeleton[s.parent].name);
    }
    // Base positions are the rest pose; every frame is stored relative to the base the reader
    // rebuilds from the written angles, so that no rounding of the base adds up.
    std::vector<rkMatrix> base(kStandardSegmentCount);
    std::fprintf(f, "[BasePosition]\n");
    for (int i = 0; i < kStandardSegmentCount; ++i) {
        const rkMatrix& local = rest.local[i];
        const bool root = kStandardSkeleton[i].parent < 0;
        const rkVector t = root ? FileRootTranslation(rkOrigin(local)) : rkOrigin(local);
        const rkVector angles = EulerOf(root ? FileRootBase(local) : local);
        base[i] = EulerMatrix(angles);
        if (root) base[i] = base[i] * Rotation(kX, 90.0f);
        std::fprintf(f, "%s %.5f %.5f %.5f", kStandardSkeleton[i].name, t.x, t.y, t.z);
        PutAngles(f, angles);
        std::fprintf(f, " %.5f\n", kStandardSkeleton[i].length);
    }
    for (int i = 0; i < kStandardSegmentCount; ++i) {
        const bool root = kStandardSkeleton[i].parent < 0;
        const rkMatrix unbase = Inverse(base[i]);
        std::fprintf(f, "[%s]\n", kStandardSkeleton[i].name);
        for (size_t k = 0; k < frames.size(); ++k) {
            const rkMatrix& local = frames[k][i];
            // The reader puts the frame's turn before the base and adds the translations.
            const rkVector moved = rkOrigin(local) - rkOrigin(rest.local[i]);
            const rkVector t = root ? FileRootTranslation(moved) : moved;
            std::fprintf(f, "%zu %.5f %.5f %.5f", k + 1, t.x, t.y, t.z);
            PutAngles(f, EulerOf(rkRotationPart(local) * unbase));
            std::fprintf(f, " 1.0\n");
        }
    }
    std::fprintf(f, "[EndOfFile]\n");
    return std::fclose(file.release()) == 0;
}

}  // namespace tavrel::assets

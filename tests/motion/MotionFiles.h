#pragma once
// Motion files for tests, made with the program's own writers in a temporary folder.
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "motion/AnimFileFactory.h"
#include "motion/Chtr.h"

namespace tavrel::testing {

// A fresh folder below the system's temporary folder, removed with the object.
class TempDir {
public:
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tavrel-test-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

// A standard-skeleton motion of `frames` frames in which frame k has its root at x = k and
// its left thigh turned by 0.05 k radians; written as CHA or CHB by the path's extension.
inline void WriteStandardMotion(const std::string& path, int frames) {
    auto record = CreateAnimFile(nullptr, kTypeCHB, 1);
    CHTR pose(rkCloneNode(record->GetFrame(0)));
    const rkMatrix rest = rkFindNode(pose.GetRoot(), "LThigh")->local;
    for (int k = 0; k < frames; ++k) {
        pose.GetRoot()->local.m[12] = float(k);
        rkNode* thigh = rkFindNode(pose.GetRoot(), "LThigh");
        thigh->local = rest;
        rkRotateNode(thigh, 0, 0.05f * k);
        record->SetFrame(pose.GetRoot(), k);
    }
    record->WriteAs(path.c_str(), MotionFileTypeOf(path) == kTypeCHB ? 1 : 0);
}

inline void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A small CHA motion whose skeleton is not the standard one: three segments, two frames.
inline const char* kThreeSegmentCha =
    "[HEADER]\nVersionNumber 721\nDataFrameRate 30\nBeginFrame 0\nEndFrame 1\nNumSegments 3\n\n"
    "[LENGTH]\nHips 10.000\nSpine 20.000\nHead 5.000\n\n"
    "[HIERARCHY]\nHips\t\tGlobal\nSpine\t\tHips\nHead\t\tSpine\n\n"
    "[MOTION]\nFrame 0\n"
    "Hips 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 90\n"
    "Spine 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 10, 0\n"
    "Head 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 20, 0\n"
    "Frame 1\n"
    "Hips 1, 0, 0, 0, 1, 0, 0, 0, 1, 5, 0, 90\n"
    "Spine 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 10, 0\n"
    "Head 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 20, 0\n";

}  // namespace tavrel::testing

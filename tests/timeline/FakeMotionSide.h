#pragma once
// A motion side for fast tests: a "motion file" is a text file whose first line gives its frame
// count. Requests write such files; a request can be made to fail.
#include <cctype>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/TempFolder.h"
#include "timeline/MotionSide.h"

namespace tavrel::testing {

inline void WriteFakeMotion(const std::string& path, int frames, const std::string& note = "") {
    std::ofstream(path, std::ios::binary) << "frames " << frames << "\n" << note << "\n";
}

class FakeMotionSide : public CMotionSide {
public:
    void Forget(const std::string&) override {}
    int FrameCount(const std::string& path) override {
        std::ifstream in(path);
        std::string word;
        int frames = -1;
        if (!(in >> word >> frames) || word != "frames") return -1;
        return frames;
    }
    // HTR, BVH and FBX files are converted; a BVH file leaves its "Tail" joint out.
    static std::string Extension(const std::string& path) {
        std::string ext = std::filesystem::path(path).extension().string();
        for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
        return ext;
    }
    bool NeedsConversion(const std::string& path, int) override {
        return Extension(path) == ".htr" || Extension(path) == ".bvh" || Extension(path) == ".fbx";
    }
    bool Convert(const std::string& path, const std::string& target, int fps,
                 ImportNotes* notes, const std::string& take) override {
        if (notes && Extension(path) == ".bvh") notes->unmapped.push_back("Tail");
        // A file named for its rigs holds several skeletons.
        if (notes && path.find("rigs") != std::string::npos) notes->skeleton = "2 rigs, 1 taken";
        // A file at half the timeline's rate doubles its frames, as a real resampling would.
        return Write(target, fps > 0 ? FrameCount(path) * 2 - 1 : FrameCount(path),
                     "converted " + path + (take.empty() ? "" : " take " + take));
    }
    // An FBX file names its takes on its second line: "takes Walk Run".
    std::vector<std::string> TakesOf(const std::string& path) override {
        std::ifstream in(path);
        std::string line, word;
        std::getline(in, line);
        std::vector<std::string> takes;
        if (Extension(path) != ".fbx" || !(in >> word) || word != "takes") return takes;
        while (in >> word) takes.push_back(word);
        return takes;
    }
    bool Split(const std::string& path, int firstLength, const std::string& a,
               const std::string& b) override {
        const int frames = FrameCount(path);
        if (firstLength < 1 || firstLength >= frames) return false;
        return Write(a, firstLength, "first of " + path) &&
               Write(b, frames - firstLength, "second of " + path);
    }
    // The note names the curve of an eased file: "stretched in SOURCE".
    bool Resample(const std::string& source, int newLength, const std::string& target,
                  SpeedCurve curve) override {
        resampled.push_back(target);
        const std::string eased =
            curve == kSpeedConstant ? "" : std::string(SpeedCurveName(curve)) + " ";
        return FrameCount(source) > 0 && Write(target, newLength, "stretched " + eased + source);
    }
    bool Reverse(const std::string& path, const std::string& target) override {
        return Write(target, FrameCount(path), "reversed " + path);
    }
    // A file whose name says "lopsided" has no left and right to swap.
    bool Mirror(const std::string& path, const std::string& target, std::string* problem) override {
        if (path.find("lopsided") != std::string::npos) {
            *problem = "the figure has no left and right segments";
            return false;
        }
        return Write(target, FrameCount(path), "mirrored " + path);
    }
    bool Repeat(const std::string& path, int times, const std::string& target) override {
        return FrameCount(path) > 1 && Write(target, FrameCount(path) * times, "repeated " + path);
    }
    bool Align(const std::string& previous, int, const std::string& path,
               const std::string& segment, const std::string& target) override {
        return FrameCount(previous) > 0 &&
               Write(target, FrameCount(path), "aligned at " + segment + " " + path);
    }
    bool RotateSegment(const std::string& path, const std::string& segment, const SegmentRotation&,
                       bool, const std::string& target) override {
        return Write(target, FrameCount(path), "turned " + segment + " " + path);
    }
    bool WritePoseClip(int kind, const std::string& target) override {
        return Write(target, 1, "pose " + std::to_string(kind));
    }

    std::optional<GroundPlace> RootPlace(const std::string& path, int local) override {
        if (!rootPlace) return std::nullopt;
        return rootPlace(path, local);
    }

    FootContacts FootContactsOf(const std::string&) override { return footContacts; }
    TransitionPoint BestTransition(const std::string& a, const std::string& b,
                                   const MatchLimits& limits) override {
        return bestTransition ? bestTransition(a, b, limits) : TransitionPoint{};
    }

    FootContacts footContacts;  // every motion's plants
    // Where one motion should blend into another; unset, no motion can tell.
    std::function<TransitionPoint(const std::string&, const std::string&, const MatchLimits&)>
        bestTransition;
    // Where a motion's root stands at a frame; unset, no motion can tell.
    std::function<std::optional<GroundPlace>(const std::string&, int)> rootPlace;
    // The next write fails (before it writes anything).
    bool failNext = false;
    // When 0 or more: that many files are written, then the next write fails.
    int writesBeforeFailure = -1;
    std::vector<std::string> resampled;  // targets of Resample, in order

private:
    bool Write(const std::string& target, int frames, const std::string& note) {
        if (failNext || frames < 1 || writesBeforeFailure == 0) {
            failNext = false;
            writesBeforeFailure = -1;
            return false;
        }
        if (writesBeforeFailure > 0) --writesBeforeFailure;
        WriteFakeMotion(target, frames, note);
        return true;
    }
};

}  // namespace tavrel::testing

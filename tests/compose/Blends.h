#pragma once
// Timelines of two clips for the tests of the evaluation, from the bundled sample motions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "motion/Motion.h"
#include "settings/StringTable.h"
#include "tests/support/TempFolder.h"
#include "tests/timeline/ScriptedDecisions.h"
#include "timeline/ClipPlace.h"
#include "timeline/MotionManagerSide.h"
#include "timeline/TimelineModel.h"
#include "timeline/TimelineProject.h"

namespace tavrel::testing {

// A timeline model over real motions, in a working folder of its own, with an empty project.
class RealTimeline : public ::testing::Test {
protected:
    RealTimeline() {
        Message failure;
        wd = CWorkingDirectory::Create(folder.Path(), CStringTable::BuiltIn().Lookup(), &failure);
        model = std::make_unique<CTimelineModel>(side, decisions, *wd);
        model->NewProject(CTimelineProject());
    }

    TempFolder folder;
    ScriptedDecisions decisions;
    CMotionManager manager;
    CMotionManagerSide side{manager};
    std::optional<CWorkingDirectory> wd;
    std::unique_ptr<CTimelineModel> model;
};

// Whether every local matrix of the tree is finite.
inline bool Finite(const rkNode* n) {
    bool finite = true;
    for (float e : n->local.m) finite = finite && std::isfinite(e);
    for (const rkNode* c = n->child; c && finite; c = c->next) finite = Finite(c);
    return finite;
}

// Every motion file of the bundled library, in name order.
inline std::vector<std::string> BundledSamples(const std::string& share) {
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(share + "/Motion")) {
        if (e.is_regular_file()) files.push_back(e.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// A then B right after it, blending over `length` frames (split between A's end and B's
// start) through the curve; B continues where A leaves the body, as the editor places it, or
// both clips keep the place they were captured at. Feet free: the same mix without held feet.
inline CTimelineProject TwoClips(CMotion& a, CMotion& b, const std::string& fileA,
                                 const std::string& fileB, int length, bool ownPlace, bool feetFree,
                                 CurveType curve) {
    ClipPlace placeA{{}, ownPlace, feetFree}, placeB = placeA;
    if (!ownPlace) {
        placeB.ground = ContinuingPlace(RootPlaceOf(b.GetPose(0)->GetRoot()),
                                        RootPlaceOf(a.GetPose(a.GetLength() - 1)->GetRoot()));
    }
    MotionClip ca, cb;
    ca.fileName = fileA, cb.fileName = fileB;
    ca.SetFrames(0, a.GetLength() - 1);
    cb.SetFrames(a.GetLength(), a.GetLength() + b.GetLength() - 1);
    ca.SetTransitionIn(0), ca.SetTransitionOut((length + 1) / 2);
    cb.SetTransitionIn(length / 2), cb.SetTransitionOut(0);
    ca.offset = OffsetOf(placeA), cb.offset = OffsetOf(placeB);
    ca.curveType = curve;
    CTimelineProject project;
    project.motionClips.InsertSorted(ca);
    project.motionClips.InsertSorted(cb);
    return project;
}

}  // namespace tavrel::testing

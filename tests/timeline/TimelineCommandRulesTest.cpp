// Which commands the timeline's buttons and context menu offer, which are checked, and what its
// keys do, in each state of the model and the panel: every command is looked at in every state.
#include <gtest/gtest.h>

#include <functional>
#include <iterator>
#include <optional>
#include <set>
#include <vector>

#include "tests/timeline/TimelineFixture.h"
#include "timeline/ClipPlace.h"
#include "timeline/TimelineCommandRules.h"

namespace tavrel {

// Readable key responses in test failures.
inline void PrintTo(const KeyResponse& r, std::ostream* out) {
    *out << "{command " << r.command << ", select " << r.select << ", delete " << r.deleteSelected
         << "}";
}

namespace {

using namespace commands;
using Ids = std::set<int>;

constexpr int kPanelCommands[] = {kPlayAll,        kPlayRange,        kStop,      kStopToStart,
                                  kFrameBack,      kFrameForward,     kGoFirst,   kGoLast,
                                  kZoomIn,         kZoomOut,          kZoomReset, kLoop,
                                  kOverview,       kCollapse,         kAddImages, kAddVideo,
                                  kLoadSound,      kVolume,           kSplit,     kCrop,
                                  kAlign,          kAddMotion,        kAddPose,   kAddInitialPose,
                                  kAddCurrentPose, kColleagueRequest, kCheckFiles};

// Names the commands that differ, rather than printing both sets.
void ExpectSame(const char* what, const Ids& actual, const Ids& expected) {
    for (int c : actual) EXPECT_TRUE(expected.count(c)) << c << " is " << what;
    for (int c : expected) EXPECT_TRUE(actual.count(c)) << c << " is not " << what;
}

Ids Join(std::initializer_list<Ids> groups) {
    Ids all;
    for (const Ids& group : groups) all.insert(group.begin(), group.end());
    return all;
}

const Ids kAlways = {kLoop, kCollapse, kVolume};
const Ids kStoppedView = {kOverview, kZoomIn, kZoomOut, kZoomReset};
const Ids kProjectAdds = {kAddImages,      kAddVideo,       kLoadSound,        kAddMotion, kAddPose,
                          kAddInitialPose, kAddCurrentPose, kColleagueRequest, kCheckFiles};
const Ids kMoves = {kPlayAll, kPlayRange, kFrameBack, kFrameForward, kGoFirst, kGoLast};
const Ids kMenuAnyTime = {kNewClipsKeepFeet,   kMenuAddMotion, kMenuAddPose, kMenuAddInitialPose,
                          kMenuAddCurrentPose, kSetInMark,     kSetOutMark};
const Ids kOnSelection = {kCopy[0],     kCopy[1],      kCut[0],         kCut[1],
                          kDelete[0],   kDelete[1],    kReverse,        kMirror,
                          kClipRequest, kKeepOwnPlace, kKeepFeetPlanted};
const Ids kCurves = [] {
    Ids blend(std::begin(kCurveCommands), std::end(kCurveCommands));
    blend.insert({kKeepInStep, kBlendAtBestPoint});  // a blend's too
    return blend;
}();
const Ids kSpeeds(std::begin(kSpeedCommands), std::end(kSpeedCommands));
const Ids kAligns = [] {
    Ids all{kAlign};
    for (const auto& pair : kAlignAt) all.insert({pair[0], pair[1]});
    return all;
}();

Ids ContextCommands() {
    Ids all = Join({kMenuAnyTime,
                    kOnSelection,
                    kSpeeds,
                    kAligns,
                    kCurves,
                    {kMenuSplit, kPaste[0], kPaste[1], kPaste[2], kClearInMark, kClearOutMark,
                     kGoInMark, kGoOutMark, kRepeat}});
    all.erase(kAlign);
    return all;
}

class CommandRules : public testing::TimelineFixture {
protected:
    Ids Enabled() const { return Having(&CommandState::enabled); }
    Ids Checked() const { return Having(&CommandState::checked); }
    Ids Having(bool CommandState::*field) const {
        Ids ids;
        for (int c : kPanelCommands) {
            if (PanelCommandState(*model, panel, c).*field) ids.insert(c);
        }
        for (int c : ContextCommands()) {
            if (ContextCommandState(*model, panel, at, c).*field) ids.insert(c);
        }
        return ids;
    }
    // Clips at 0-29 and 40-69, the later one selected, the current frame inside the earlier.
    void TwoClips() {
        Add(30, 0);
        Add(30, 40);
        model->SetCurrentFrame(10);
    }

    PanelState panel{.zoomStep = 4};
    RightClick at{.frame = 10};
};

TEST_F(CommandRules, EachStateOffersItsCommandsAndKeys) {
    const KeyResponse none;
    const KeyResponse remove{.deleteSelected = true};
    const auto run = [](int command) { return KeyResponse{.command = command}; };
    const auto select = [](int position) { return KeyResponse{.select = position}; };
    using Keys = std::vector<std::pair<int, std::optional<KeyResponse>>>;
    const struct {
        const char* state;
        std::function<void()> build;
        Ids enabled;  // every other command is disabled
        Ids checked;
        Keys keys;
    } rows[] = {
        {"no project, zoomed out fully",
         [this] {
             model = std::make_unique<CTimelineModel>(motion, decisions, *workingDirectory);
             panel.zoomStep = 0;
         },
         Join({kAlways, {kOverview, kZoomIn, kZoomReset}}),
         {kNewClipsKeepFeet},
         {{keys::kReturn, none},
          {keys::kLeft, none},
          {keys::kPlus, run(kZoomIn)},
          {keys::kMinus, none},
          {keys::kDelete, remove}}},
        {"an empty project, zoomed in fully",
         [this] { panel.zoomStep = kLastZoomStep; },
         Join({kAlways, kProjectAdds, kMenuAnyTime, {kOverview, kZoomOut, kZoomReset}}),
         {kNewClipsKeepFeet},
         {{keys::kSpace, none},
          {keys::kPlus, none},
          {keys::kMinus, run(kZoomOut)},
          {keys::kPageUp, none}}},
        {"only a sound",
         [this] { panel.soundFrames = 120; },
         Join({kAlways, kStoppedView, kProjectAdds, kMenuAnyTime, {kPlayAll, kPlayRange}}),
         {kNewClipsKeepFeet},
         {{keys::kReturn, run(kPlayAll)}, {keys::kSpace, run(kPlayRange)}, {keys::kHome, none}}},
        {"two clips, the later selected",
         [this] { TwoClips(); },
         Join({kAlways,
               kStoppedView,
               kProjectAdds,
               kMenuAnyTime,
               kMoves,
               kOnSelection,
               kSpeeds,
               kAligns,
               {kSplit, kMenuSplit, kRepeat}}),  // nothing after the clip: it can repeat
         {kNewClipsKeepFeet, kKeepFeetPlanted, kSpeedCommands[kSpeedConstant]},
         {{keys::kReturn, run(kPlayAll)},
          {keys::kSpace, run(kPlayRange)},
          {keys::kLeft, run(kFrameBack)},
          {keys::kRight, run(kFrameForward)},
          {keys::kHome, run(kGoFirst)},
          {keys::kEnd, run(kGoLast)},
          {keys::kPageUp, select(1)},
          {keys::kPageDown, none},
          {keys::kDelete, remove},
          {'A', std::nullopt}}},
        {"the same, playing",
         [this] {
             TwoClips();
             panel.playing = true;
         },
         Join({kAlways, {kStop, kStopToStart}}),
         {kNewClipsKeepFeet, kKeepFeetPlanted, kSpeedCommands[kSpeedConstant]},
         {{keys::kEnter, run(kStop)},
          {keys::kSpace, run(kStop)},
          {keys::kEnd, none},
          {keys::kPageUp, none},
          {keys::kPlus, none},
          {keys::kDelete, remove}}},
        {"the earlier clip selected at the later one's start, overview, looping, collapsed",
         [this] {
             TwoClips();
             model->Select(1);
             model->SetCurrentFrame(40);
             panel.overview = panel.looping = panel.collapsed = true;
         },
         Join({kAlways,
               kMenuAnyTime,
               kMoves,
               kOnSelection,
               kSpeeds,
               {kOverview, kAddMotion, kAddPose, kAddInitialPose, kAddCurrentPose,
                kColleagueRequest, kCheckFiles}}),
         {kLoop, kOverview, kCollapse, kNewClipsKeepFeet, kKeepFeetPlanted,
          kSpeedCommands[kSpeedConstant]},
         {{keys::kPageUp, none}, {keys::kPageDown, select(0)}, {keys::kMinus, none}}},
        {"overlapping clips, a mark, a copy, switches and a curve",
         [this] {
             TwoClips();
             ASSERT_TRUE(model->MoveClip(0, 20).done);  // overlap 20..29
             model->SetCurrentFrame(25);
             model->Select(1);
             model->CopySelected();
             model->SetInMark(5);
             ASSERT_TRUE(model->SetClipSwitches(1, true, false).done);
             model->Select(1);
             model->SetCurveType(1, tavrel::kCurveEaseIn);
             model->SetNewClipsKeepFeetPlanted(false);
             at = {.frame = 25, .transition = 1, .transitionEarlier = 1};
         },
         Join({kAlways,
               kStoppedView,
               kProjectAdds,
               kMenuAnyTime,
               kMoves,
               kOnSelection,
               kSpeeds,
               kCurves,
               {kCrop, kPaste[0], kPaste[1], kPaste[2], kClearInMark, kGoInMark}}),
         {kKeepOwnPlace, commands::kCurveEaseIn, kKeepInStep, kSpeedCommands[kSpeedConstant]},
         {}},
        {"an eased clip selected",
         [this] {
             TwoClips();
             ASSERT_TRUE(model->SetSpeedCurve(0, kSpeedEaseOut).done);
         },
         Join({kAlways,
               kStoppedView,
               kProjectAdds,
               kMenuAnyTime,
               kMoves,
               kOnSelection,
               kSpeeds,
               kAligns,
               {kSplit, kMenuSplit, kRepeat}}),
         {kNewClipsKeepFeet, kKeepFeetPlanted, kSpeedCommands[kSpeedEaseOut]},
         {}},
        {"a one-frame clip selected: it has no speed to ease",
         [this] { Add(1, 0); },
         Join({kAlways, kStoppedView, kProjectAdds, kMenuAnyTime, kMoves, kOnSelection}),
         {kNewClipsKeepFeet, kKeepFeetPlanted, kSpeedCommands[kSpeedConstant]},
         {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.state);
        model = std::make_unique<CTimelineModel>(motion, decisions, *workingDirectory);
        model->NewProject(CTimelineProject());
        panel = {.zoomStep = 4};
        at = {.frame = 10};
        row.build();
        ExpectSame("enabled", Enabled(), row.enabled);
        ExpectSame("checked", Checked(), row.checked);
        for (const auto& [key, response] : row.keys) {
            EXPECT_EQ(RespondToKey(*model, panel, key), response) << "key " << key;
        }
    }
}

}  // namespace
}  // namespace tavrel

// The layers' edits, keys and project-file section, over the fake motion side.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>

#include "settings/StringIds.h"
#include "tests/support/FileBytes.h"
#include "tests/timeline/TimelineFixture.h"
#include "timeline/LayerSection.h"
#include "timeline/ProjectFileReader.h"
#include "timeline/ProjectFileWriter.h"
#include "timeline/TimelineCommandRules.h"
#include "timeline/TimelineCommands.h"

namespace tavrel::testing {
namespace {

Quat AxisAngle(float x, float y, float z, float angle) {
    const float n = std::sqrt(x * x + y * y + z * z), s = std::sin(angle / 2) / n;
    return {std::cos(angle / 2), x * s, y * s, z * s};
}

// The same rotation within the tolerance (q and -q are one rotation).
::testing::AssertionResult SameTurn(const Quat& a, const Quat& b, float tolerance = 2e-4f) {
    const float dot = a.w * b.w + a.x * b.x + a.y * b.y + a.z * b.z;
    if (std::fabs(std::fabs(dot) - 1.0f) < tolerance) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "(" << a.w << " " << a.x << " " << a.y << " " << a.z << ") vs (" << b.w << " " << b.x
           << " " << b.y << " " << b.z << ")";
}

class LayersTest : public TimelineFixture {
protected:
    // A layered timeline: one base clip, layers with motion and key clips of random settings.
    void BuildRandomLayers(std::mt19937& random) {
        Add(400, 0);
        const int layers = 1 + int(random() % 4);
        for (int l = 0; l < layers; ++l) {
            ASSERT_TRUE(model->AddLayer().done);
            int at = int(random() % 20);
            for (int c = 0; c < 3; ++c) {
                if (random() % 2) {
                    const std::string file = UserFile("layer" + std::to_string(counter++) + ".cha",
                                                      5 + int(random() % 40));
                    ASSERT_TRUE(model->AddLayerClip(l, file, at, LayerMode(random() % 2)).done);
                } else {
                    const int segment = 1 + int(random() % (kStandardSegmentCount - 1));
                    ASSERT_TRUE(model->SetKey(l, at + 30, segment, RandomTurn(random)).done);
                    model->SetKey(l, at + 30 + int(random() % 20), segment, RandomTurn(random));
                }
                const int clip = int(model->Layers().tracks[l].clips.size()) - 1;
                const LayerClip& made = model->Layers().tracks[l].clips[clip];
                model->SetLayerClipWeight(l, clip, float(random() % 1001) / 1000.0f,
                                          int(random() % 5), int(random() % 5),
                                          CurveType(random() % kCurveCount));
                model->SetLayerClipMask(l, clip, SegmentMask(random()) & kWholeBodyMask);
                at = made.lastFrame + 1 + int(random() % 10);
            }
        }
    }

    static Quat RandomTurn(std::mt19937& random) {
        std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
        return AxisAngle(unit(random), unit(random), unit(random) + 2.0f, unit(random) * 2.0f);
    }

    // Layers equal but for where their motion files lie, which hold the same bytes.
    static void ExpectSameLayers(const CLayerStack& a, const CLayerStack& b) {
        ASSERT_EQ(a.tracks.size(), b.tracks.size());
        for (size_t t = 0; t < a.tracks.size(); ++t) {
            ASSERT_EQ(a.tracks[t].clips.size(), b.tracks[t].clips.size()) << t;
            for (size_t c = 0; c < a.tracks[t].clips.size(); ++c) {
                LayerClip x = a.tracks[t].clips[c], y = b.tracks[t].clips[c];
                EXPECT_EQ(FileBytes(x.fileName), FileBytes(y.fileName));
                x.fileName = y.fileName.empty() ? "" : "file";
                y.fileName = y.fileName.empty() ? "" : "file";
                EXPECT_EQ(x, y) << "layer " << t << " clip " << c;
            }
        }
    }
};

// Every layer edit is one undo step; stepping back and forth gives each state exactly.
TEST_F(LayersTest, EveryLayerEditUndoesAndRedoesExactly) {
    Add(300, 0);
    std::mt19937 random(5);
    std::vector<CLayerStack> states{model->Layers()};
    const std::string motion = UserFile("wave.cha", 40);
    for (int round = 0; round < 200; ++round) {
        const int layers = int(model->Layers().tracks.size());
        const int layer = layers ? int(random() % layers) : 0;
        const int clips = layers ? int(model->Layers().tracks[layer].clips.size()) : 0;
        const int clip = clips ? int(random() % clips) : 0;
        const int frame = int(random() % 300);
        const int undoBefore = model->UndoCount();
        EditResult result;
        switch (random() % 13) {
            case 0:
                result = model->AddLayer();
                break;
            case 1:
                result = round % 7 ? EditResult() : model->RemoveLayer(layer);
                break;
            case 2:
                result = model->AddLayerClip(layer, motion, frame);
                break;
            case 3:
                result = model->MoveLayerClip(layer, clip, frame);
                break;
            case 4:
                result = round % 5 ? EditResult() : model->RemoveLayerClip(layer, clip);
                break;
            case 5:
                result = model->SetLayerClipMode(layer, clip, LayerMode(random() % 2));
                break;
            case 6:
                result = model->SetLayerClipWeight(layer, clip, float(random() % 11) / 10, 2, 3,
                                                   kCurveEaseIn);
                break;
            case 7:
                result = model->SetLayerClipMask(layer, clip, SegmentMask(random()));
                break;
            case 8:
            case 9:
                result = model->SetKey(layer, frame, 1 + int(random() % 19), RandomTurn(random));
                break;
            case 10:
                result = model->MoveKeys(layer, frame, frame + int(random() % 9) - 4);
                break;
            case 11:
                result =
                    random() % 2 ? model->DeleteKeys(layer, frame) : model->ClearKeys(layer, frame);
                break;
            case 12:
                result = model->ResizeLayerClip(layer, clip, frame, frame + int(random() % 60));
        }
        if (result.done) {
            states.push_back(model->Layers());
            EXPECT_NE(states.back(), states[states.size() - 2]) << round;
        } else {
            EXPECT_EQ(model->Layers(), states.back()) << round;
        }
        ASSERT_EQ(model->UndoCount(), undoBefore + (result.done ? 1 : 0)) << round;
    }
    ASSERT_GT(states.size(), 60u);
    for (size_t i = states.size() - 1; i > 0; --i) {
        ASSERT_TRUE(model->Undo().done);
        ASSERT_EQ(model->Layers(), states[i - 1]) << i;
    }
    for (size_t i = 1; i < states.size(); ++i) {
        ASSERT_TRUE(model->Redo().done);
        ASSERT_EQ(model->Layers(), states[i]) << i;
    }
}

// Bad requests are refused with their message and change nothing.
TEST_F(LayersTest, BadRequestsAreRefusedAndChangeNothing) {
    Add(200, 0);
    for (int i = 0; i < kMaxLayers; ++i) ASSERT_TRUE(model->AddLayer().done);
    ASSERT_TRUE(model->AddLayerClip(0, UserFile("wave.cha", 40), 10).done);
    ASSERT_TRUE(model->SetKey(1, 50, kLLowArm, AxisAngle(1, 0, 0, 0.5f)).done);
    const std::string gone = root / "user/gone.cha";
    struct Case {
        const char* what;
        std::function<EditResult()> edit;
        int message;
    };
    const Case cases[] = {
        {"a ninth layer", [&] { return model->AddLayer(); }, strings::kLayerLimit},
        {"weight below 0",
         [&] { return model->SetLayerClipWeight(0, 0, -0.01f, 0, 0, kCurveLinear); },
         strings::kLayerWeightRange},
        {"weight above 1",
         [&] { return model->SetLayerClipWeight(0, 0, 1.5f, 0, 0, kCurveLinear); },
         strings::kLayerWeightRange},
        {"weight no number",
         [&] { return model->SetLayerClipWeight(0, 0, std::nanf(""), 0, 0, kCurveLinear); },
         strings::kLayerWeightRange},
        {"mask of no segment", [&] { return model->SetLayerClipMask(0, 0, 0); },
         strings::kLayerMaskEmpty},
        {"mask of no known segment", [&] { return model->SetLayerClipMask(0, 0, ~kWholeBodyMask); },
         strings::kLayerMaskEmpty},
        {"key on the root",
         [&] {
             return model->SetKey(1, 50, kLowerTorso, {1, 0, 0, 0});
         },
         strings::kLayerKeySegment},
        {"key on no segment",
         [&] {
             return model->SetKey(1, 50, 20, {1, 0, 0, 0});
         },
         strings::kLayerKeySegment},
        {"key of no turn",
         [&] {
             return model->SetKey(1, 50, kHead, {0, 0, 0, 0});
         },
         0},
        {"key on a motion clip",
         [&] {
             return model->SetKey(0, 20, kHead, {1, 0, 0, 0});
         },
         strings::kLayerKeyOnMotion},
        {"clip over a clip", [&] { return model->AddLayerClip(0, UserFile("w.cha", 5), 45); },
         strings::kLayerClipOverlap},
        {"clip past the end",
         [&] { return model->AddLayerClip(2, UserFile("w.cha", 5), kMaxFrame - 2); },
         strings::kLayerClipOverlap},
        {"clip whose file is gone", [&] { return model->AddLayerClip(2, gone, 0); },
         strings::kMotionFileUnusable},
        {"move keys where none are", [&] { return model->MoveKeys(1, 40, 41); },
         strings::kLayerNoKey},
        {"move keys out of their clip", [&] { return model->MoveKeys(1, 50, 300); },
         strings::kLayerClipOverlap},
        {"layer that is not there", [&] { return model->RemoveLayer(8); }, 0},
    };
    const CLayerStack before = model->Layers();
    const int undo = model->UndoCount();
    for (const Case& c : cases) {
        const EditResult result = c.edit();
        EXPECT_FALSE(result.done) << c.what;
        EXPECT_EQ(result.message.id, c.message) << c.what;
        EXPECT_EQ(model->Layers(), before) << c.what;
        EXPECT_EQ(model->UndoCount(), undo) << c.what;
    }
}

// Keys at an even pace along one axis turn at that pace: between the inner keys the curve is
// the slerp from no turn, which the test works out on its own; everywhere it meets its keys,
// has no turn at the clip's unkeyed ends, and runs on without jumps.
TEST_F(LayersTest, KeysRunThroughTheirTurnsAndEaseToNothingAtTheEnds) {
    std::mt19937 random(3);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    for (int round = 0; round < 40; ++round) {
        const float x = unit(random), y = unit(random), z = unit(random) + 1.5f;
        const int spacing = 3 + int(random() % 10), count = 3 + int(random() % 5);
        const float step = unit(random) * 0.7f;
        LayerClip even;
        even.firstFrame = 100, even.lastFrame = 100 + spacing * count;
        for (int k = 1; k <= count; ++k) {
            even.keys.push_back({k * spacing, kRLowArm, AxisAngle(x, y, z, step * float(k))});
        }
        for (int f = spacing; f <= spacing * (count - 1); ++f) {
            const Quat expected = AxisAngle(x, y, z, step * float(f) / float(spacing));
            ASSERT_TRUE(SameTurn(KeyTurnAt(even, kRLowArm, f), expected)) << round << " " << f;
        }
        EXPECT_TRUE(SameTurn(KeyTurnAt(even, kRLowArm, 0), {1, 0, 0, 0}));
        EXPECT_TRUE(SameTurn(KeyTurnAt(even, kLLowArm, spacing), {1, 0, 0, 0})) << "unkeyed";

        LayerClip uneven;
        uneven.lastFrame = 20 + int(random() % 100);
        for (int segment : {kLLowArm, kHead}) {
            for (int f = 1 + int(random() % 5); f < uneven.lastFrame; f += 3 + int(random() % 15)) {
                uneven.keys.push_back({f, segment, RandomTurn(random)});
            }
        }
        std::sort(uneven.keys.begin(), uneven.keys.end(), [](const auto& a, const auto& b) {
            return a.segment != b.segment ? a.segment < b.segment : a.frame < b.frame;
        });
        for (const SegmentKey& k : uneven.keys) {
            ASSERT_TRUE(SameTurn(KeyTurnAt(uneven, k.segment, k.frame), k.turn)) << k.frame;
        }
        for (int segment : {kLLowArm, kHead}) {
            EXPECT_TRUE(SameTurn(KeyTurnAt(uneven, segment, uneven.lastFrame), {1, 0, 0, 0}));
            Quat before = KeyTurnAt(uneven, segment, 0);
            for (int f = 1; f <= uneven.lastFrame; ++f) {
                const Quat now = KeyTurnAt(uneven, segment, f);
                const float dot = std::fabs(before.w * now.w + before.x * now.x + before.y * now.y +
                                            before.z * now.z);
                // Keys at least three frames apart, at most two turns apart: no frame jumps.
                EXPECT_LT(2.0f * std::acos(std::min(dot, 1.0f)), 2.5f) << f;
                before = now;
            }
        }
    }
}

// Saved layered projects open with the layers they had; a project without layers is written
// in the base format alone.
TEST_F(LayersTest, RandomLayeredProjectsOpenAsTheyWereSaved) {
    std::mt19937 random(17);
    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE(round);
        model->NewProject(CTimelineProject());
        BuildRandomLayers(random);
        const std::string path = Save("layered" + std::to_string(round) + ".tvp");
        ProjectReadResult read = CProjectFileReader(*workingDirectory, motion).Read(path);
        ASSERT_TRUE(read.messages.empty()) << read.messages.front().id;
        EXPECT_FALSE(read.project.layersDamaged);
        ExpectSameLayers(model->Project().Layers(), read.project.Layers());
        EXPECT_EQ(read.project.motionClips.Count(), 1);
    }
    model->NewProject(CTimelineProject());
    Add(30, 0);
    model->AddLayer();
    model->RemoveLayer(0);
    EXPECT_EQ(FileBytes(Save("plain.tvp")).find(CLayerSection::kTag), std::string::npos);
}

// A damaged layer section opens the base timeline, says so, and is kept in mind for saving;
// a layer clip whose file is gone is left out with a message of its own.
TEST_F(LayersTest, DamagedLayerSectionsOpenTheBaseTimeline) {
    Add(100, 0);
    model->AddLayer();
    model->AddLayerClip(0, UserFile("wave.cha", 30), 5);
    model->SetKey(0, 60, kHead, AxisAngle(0, 0, 1, 0.4f));
    const std::string good = FileBytes(Save("good.tvp"));
    const size_t section = good.find(CLayerSection::kTag);
    ASSERT_NE(section, std::string::npos);
    const auto replaced = [&](const std::string& from, const std::string& to) {
        std::string text = good;
        const size_t at = text.find(from, section);
        EXPECT_NE(at, std::string::npos) << from;
        return at == std::string::npos ? text : text.replace(at, from.size(), to);
    };
    const std::string damaged[] = {
        good.substr(0, good.rfind("K,Head")),            // cut short
        replaced("Layers,1", "Layers,9"),                // more layers than a timeline holds
        replaced("Layers,1", "Layers,x"),                //
        replaced("C,A,5,", "C,X,5,"),                    // no such kind
        replaced(",1,0,0,0,whole,", ",2,0,0,0,whole,"),  // weight beyond 1
        replaced(",1,0,0,0,whole,", ",-1,0,0,0,whole,"),
        replaced(",1,0,0,0,whole,", ",nan,0,0,0,whole,"),
        replaced("whole,wave", "Tail,wave"),   // a mask naming no segment
        replaced("whole,wave", "+,wave"),      //
        replaced("K,Head,", "K,LowerTorso,"),  // a key on the root
        replaced("K,Head,", "K,Tail,"),        //
        replaced("C,A,5,34", "C,A,5,70"),      // clips sharing frames
        replaced("K,Head,25", "K,Head,56"),    // a key outside its clip
    };
    for (const std::string& text : damaged) {
        const std::string path = root / "saved/damaged.tvp";
        std::ofstream(path, std::ios::binary) << text;
        const ProjectReadResult read = CProjectFileReader(*workingDirectory, motion).Read(path);
        EXPECT_TRUE(read.project.complete) << text.substr(section);
        EXPECT_EQ(read.project.motionClips.Count(), 1) << text.substr(section);
        EXPECT_TRUE(read.project.Layers().tracks.empty()) << text.substr(section);
        EXPECT_TRUE(read.project.layersDamaged) << text.substr(section);
        ASSERT_EQ(read.messages.size(), 1u) << text.substr(section);
        EXPECT_EQ(read.messages[0].id, strings::kLayerSectionDamaged);
    }
    // Once saved without them, the file has no layers left to lose: later saves do not ask.
    model->OpenProject(root / "saved/damaged.tvp");
    EXPECT_TRUE(model->Project().layersDamaged);
    model->MarkSaved();  // as a project opens
    EXPECT_TRUE(model->Project().layersDamaged);
    model->MarkWritten();
    EXPECT_FALSE(model->Project().layersDamaged);
    std::filesystem::remove(root / "saved/wave.cha");
    const ProjectReadResult read =
        CProjectFileReader(*workingDirectory, motion).Read(root / "saved/good.tvp");
    ASSERT_EQ(read.messages.size(), 1u);
    EXPECT_EQ(read.messages[0].id, strings::kLayerClipLeftOut);
    EXPECT_FALSE(read.project.layersDamaged);
    ASSERT_EQ(read.project.Layers().tracks.size(), 1u);
    ASSERT_EQ(read.project.Layers().tracks[0].clips.size(), 1u);
    EXPECT_TRUE(read.project.Layers().tracks[0].clips[0].IsKeyClip());
}

// A layer clip's ends: a key clip's keys keep their frames (the ones left outside go); a motion
// clip gives up frames only, playing a copy of those kept. Crop and shift take the layers along.
TEST_F(LayersTest, LayerClipsKeepTheirFramesThroughResizeCropAndShift) {
    Add(300, 0);
    model->AddLayer();
    const std::string wave = UserFile("wave.cha", 40);
    ASSERT_TRUE(model->AddLayerClip(0, wave, 10).done);  // 10-49
    ASSERT_TRUE(model->SetKey(0, 100, kHead, AxisAngle(1, 0, 0, 0.3f)).done);
    ASSERT_TRUE(model->SetKey(0, 110, kNeck, AxisAngle(0, 1, 0, 0.2f)).done);  // key clip 70-130
    const auto clip = [&](int i) { return model->Layers().tracks[0].clips[i]; };
    const auto keyFrames = [&] {
        std::vector<int> frames;
        for (const SegmentKey& k : clip(1).keys) frames.push_back(clip(1).firstFrame + k.frame);
        std::sort(frames.begin(), frames.end());
        return frames;
    };
    const Quat headTurn = model->KeyTurnOf(0, 100, kHead);

    ASSERT_TRUE(model->ResizeLayerClip(0, 1, 60, 140).done);
    EXPECT_EQ(keyFrames(), (std::vector<int>{100, 110}));
    EXPECT_TRUE(SameTurn(model->KeyTurnOf(0, 100, kHead), headTurn));
    ASSERT_TRUE(model->ResizeLayerClip(0, 1, 105, 140).done);  // the head's key is left out
    EXPECT_EQ(keyFrames(), (std::vector<int>{110}));
    const std::string played = clip(0).fileName;
    ASSERT_TRUE(model->ResizeLayerClip(0, 0, 15, 44).done);
    EXPECT_EQ(motion.FrameCount(clip(0).fileName), 30);
    EXPECT_NE(clip(0).fileName, played);  // a copy: undo plays the whole file again
    EXPECT_EQ(motion.FrameCount(played), 40);
    const struct {
        int clip, first, last, message;
    } refused[] = {
        {0, 10, 44, strings::kLayerClipOwnFrames},  // a motion clip does not grow
        {0, 15, 50, strings::kLayerClipOwnFrames}, {0, 15, 120, strings::kLayerClipOverlap},
        {1, 40, 140, strings::kLayerClipOverlap},  {1, 140, 130, strings::kLayerClipOverlap},
    };
    for (const auto& r : refused) {
        const EditResult result = model->ResizeLayerClip(0, r.clip, r.first, r.last);
        EXPECT_FALSE(result.done) << r.first << "-" << r.last;
        EXPECT_EQ(result.message.id, r.message) << r.first << "-" << r.last;
    }

    // Shifting the base clips from 0 on moves every layer clip by as much.
    decisions.overlap = OverlapChoice::kShift;
    const CLayerStack before = model->Layers();
    ASSERT_TRUE(Add(20, 0).done);
    const int by =
        model->Layers().tracks[0].clips[0].firstFrame - before.tracks[0].clips[0].firstFrame;
    EXPECT_GT(by, 0);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(clip(i).firstFrame, before.tracks[0].clips[i].firstFrame + by);
        EXPECT_EQ(clip(i).lastFrame, before.tracks[0].clips[i].lastFrame + by);
    }
    ASSERT_TRUE(model->Undo().done);

    // Cropping to 20-120 cuts the motion clip's start and the key clip's end.
    model->SetInMark(20);
    model->SetOutMark(120);
    ASSERT_TRUE(model->CropToMarks().done);
    ASSERT_EQ(model->Layers().tracks[0].clips.size(), 2u);
    EXPECT_EQ(std::pair(clip(0).firstFrame, clip(0).lastFrame), std::pair(20, 44));
    EXPECT_EQ(motion.FrameCount(clip(0).fileName), 25);
    EXPECT_EQ(std::pair(clip(1).firstFrame, clip(1).lastFrame), std::pair(105, 120));
    EXPECT_EQ(keyFrames(), (std::vector<int>{110}));
    ASSERT_TRUE(model->Undo().done);
    EXPECT_EQ(model->Layers(), before);
}

// The layer menus' items: enabled and checked as the layer under the click has it.
TEST_F(LayersTest, LayerMenuItemsFollowTheClipUnderTheClick) {
    Add(200, 0);
    using namespace commands;
    PanelState stopped, playing;
    playing.playing = true;
    const auto state = [&](int layer, int frame, int command, const PanelState& panel) {
        return LayerCommandState(*model, panel, {layer, frame}, command);
    };
    EXPECT_EQ(state(-1, 0, kAddLayer, stopped), (CommandState{true, false}));
    EXPECT_EQ(state(-1, 0, kRemoveLayer, stopped), (CommandState{false, false}));
    model->AddLayer();
    model->AddLayerClip(0, UserFile("wave.cha", 40), 10, LayerMode::kOverride);
    model->SetKey(0, 100, kHead, {1, 0, 0, 0.2f});
    model->SetCurrentFrame(100);
    const struct {
        int frame, command;
        CommandState expected;
    } table[] = {
        {20, kLayerOverride, {true, true}},        {20, kLayerAdditive, {true, false}},
        {20, kLayerWeights[0], {true, true}},      {20, kLayerWeights[2], {true, false}},
        {20, kLayerMasks[0], {true, true}},        {20, kLayerMasks[1], {true, false}},
        {20, kLayerEase, {true, false}},           {20, kLayerNoEase, {true, true}},
        {20, kRemoveLayerClip, {true, false}},     {20, kClearKeys, {false, false}},
        {5, kLayerOverride, {false, false}},       {5, kRemoveLayerClip, {false, false}},
        {100, kLayerOverride, {false, false}},     {100, kLayerWeights[0], {true, true}},
        {100, kDeleteKeys, {true, false}},         {101, kDeleteKeys, {false, false}},
        {100, kClearKeys, {true, false}},          {110, kMoveKeysHere, {true, false}},
        {100, kMoveKeysHere, {false, false}},      {20, kMoveKeysHere, {false, false}},
        {20, kRemoveLayer, {true, false}},         {20, kAddLayer, {true, false}},
        {20, kLayerWeightAsk, {true, false}},      {20, kLayerEaseAsk, {true, false}},
        {20, kLayerSegment + kHead, {true, true}}, {5, kLayerSegment + kHead, {false, false}},
    };
    for (const auto& row : table) {
        EXPECT_EQ(state(0, row.frame, row.command, stopped), row.expected)
            << row.frame << " " << row.command;
        EXPECT_FALSE(state(0, row.frame, row.command, playing).enabled) << row.command;
    }
    for (int i = 1; i < kMaxLayers; ++i) model->AddLayer();
    EXPECT_FALSE(state(0, 20, kAddLayer, stopped).enabled);
    EXPECT_EQ(WeightOfCommand(kLayerWeights[3]), 0.25f);
    EXPECT_EQ(MaskOfCommand(kLayerMasks[7]), 7);
    EXPECT_EQ(SegmentOfCommand(kLayerSegment + kRFoot), kRFoot);
    EXPECT_EQ(SegmentOfCommand(kLayerSegment + kStandardSegmentCount), -1);
    model->SetLayerClipWeight(0, 0, 0.4f, 0, 0, tavrel::kCurveLinear);
    EXPECT_EQ(state(0, 20, kLayerWeightAsk, stopped), (CommandState{true, true}));
}

}  // namespace
}  // namespace tavrel::testing

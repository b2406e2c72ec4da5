// A clip's speed curve: always made from the clip's unstretched source, kept through stretches
// and edits of the motion, given up by a split (each part plays as it did), undone exactly, and
// saved in a section of its own that readers of older files pass over.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "settings/StringIds.h"
#include "tests/support/FileBytes.h"
#include "tests/timeline/TimelineFixture.h"
#include "timeline/LayerSection.h"
#include "timeline/ProjectFileReader.h"
#include "timeline/ProjectFileWriter.h"
#include "timeline/SpeedSection.h"

namespace tavrel {
namespace {

using testing::FileBytes;
using testing::ReadFile;

class SpeedCurveEdits : public testing::TimelineFixture {
protected:
    // The only clip, selected, and what it plays (the fake's note names how it was made).
    const MotionClip& Clip() { return *model->ClipAtPosition(0); }
    std::string Plays() { return ReadFile(Clip().fileName); }
    std::string Made(const std::string& how, int frames) {
        return "frames " + std::to_string(frames) + "\n" + how + "\n";
    }
    size_t WorkingFiles() const {
        return size_t(
            std::distance(std::filesystem::directory_iterator(workingDirectory->Path()), {}));
    }
    ProjectReadResult Read(const std::string& path) {
        return CProjectFileReader(*workingDirectory, motion).Read(path);
    }
};

// Every step plays a file made from the original, never from a file with a curve in it; undo
// and redo walk back and forth through the same clips playing the same files.
TEST_F(SpeedCurveEdits, EveryCurveStartsFromTheSourceAndUndoesExactly) {
    ASSERT_TRUE(Add(30, 0).done);
    const std::string original = Clip().fileName;
    struct Step {
        const char* name;
        std::function<EditResult()> edit;
        SpeedCurve curve;
        int length;
        std::function<std::string()> plays;  // what the clip's file must hold
    };
    const auto source = [&] { return Clip().sourceFileName; };
    std::vector<std::pair<MotionClip, std::string>> states{{Clip(), Plays()}};
    const Step steps[] = {
        {"ease in", [&] { return model->SetSpeedCurve(0, kSpeedEaseIn); }, kSpeedEaseIn, 30,
         [&] { return Made("stretched in " + original, 30); }},
        {"ease out instead", [&] { return model->SetSpeedCurve(0, kSpeedEaseOut); }, kSpeedEaseOut,
         30, [&] { return Made("stretched out " + original, 30); }},
        {"stretched", [&] { return model->ResizeClip(0, 0, 44); }, kSpeedEaseOut, 45,
         [&] { return Made("stretched out " + original, 45); }},
        {"constant while stretched", [&] { return model->SetSpeedCurve(0, kSpeedConstant); },
         kSpeedConstant, 45, [&] { return Made("stretched " + original, 45); }},
        {"squeezed back", [&] { return model->ResizeClip(0, 0, 29); }, kSpeedConstant, 30,
         [&] { return Made("stretched " + original, 30); }},
        {"both", [&] { return model->SetSpeedCurve(0, kSpeedEaseBoth); }, kSpeedEaseBoth, 30,
         [&] { return Made("stretched both " + original, 30); }},
        {"reversed", [&] { return model->ReverseSelected(); }, kSpeedEaseBoth, 30,
         [&] { return Made("stretched both " + source(), 30); }},
        {"mirrored", [&] { return model->MirrorSelected(); }, kSpeedEaseBoth, 30,
         [&] { return Made("stretched both " + source(), 30); }},
        // Each repeat plays as the eased clip did: the file is the clip's motion now.
        {"repeated", [&] { return model->RepeatSelected(2); }, kSpeedConstant, 60,
         [&] { return Made("repeated " + states.back().first.fileName, 60); }},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        model->Select(0);
        const EditResult result = step.edit();
        ASSERT_TRUE(result.done) << result.message.id;
        EXPECT_EQ(Clip().speedCurve, step.curve);
        EXPECT_EQ(Clip().Length(), step.length);
        EXPECT_EQ(Plays(), step.plays());
        states.emplace_back(Clip(), Plays());
    }
    // The reversed and mirrored clip's source is the original reversed, then mirrored.
    const std::string reversed = states[7].first.sourceFileName;
    EXPECT_EQ(ReadFile(reversed), Made("reversed " + original, 30));
    EXPECT_EQ(ReadFile(states[8].first.sourceFileName), Made("mirrored " + reversed, 30));
    EXPECT_FALSE(states.back().first.stretched);

    for (size_t i = states.size() - 1; i-- > 0;) {
        ASSERT_TRUE(model->Undo().done);
        EXPECT_EQ(Clip(), states[i].first) << "undone to state " << i;
        EXPECT_EQ(Plays(), states[i].second) << "undone to state " << i;
    }
    EXPECT_EQ(Clip().fileName, original);
    for (size_t i = 1; i < states.size(); ++i) {
        ASSERT_TRUE(model->Redo().done);
        EXPECT_EQ(Clip(), states[i].first) << "redone to state " << i;
        EXPECT_EQ(Plays(), states[i].second) << "redone to state " << i;
    }
}

// The constant curve on a clip of its source's length gives the clip before any curve back.
TEST_F(SpeedCurveEdits, ConstantSpeedAtTheSourcesLengthPlaysTheSourceAgain) {
    ASSERT_TRUE(Add(30, 0).done);
    const MotionClip plain = Clip();
    ASSERT_TRUE(model->SetSpeedCurve(0, kSpeedEaseIn).done);
    ASSERT_TRUE(model->SetSpeedCurve(0, kSpeedConstant).done);
    EXPECT_EQ(Clip(), plain);
}

// One-frame clips, the curve a clip has, unknown curves and failed writes change nothing.
TEST_F(SpeedCurveEdits, RefusedCurvesLeaveEverythingAsItWas) {
    ASSERT_TRUE(Add(30, 0).done);
    ASSERT_TRUE(Add(1, 50).done);
    ASSERT_TRUE(model->SetSpeedCurve(PositionOf(0), kSpeedEaseIn).done);
    const struct {
        const char* name;
        int firstFrame;
        SpeedCurve curve;
        bool failWrite;
        int message;
    } cases[] = {
        {"a one-frame clip", 50, kSpeedEaseIn, false, 0},
        {"the curve it has", 0, kSpeedEaseIn, false, 0},
        {"no such curve", 0, SpeedCurve(kSpeedCurveCount), false, 0},
        {"a failed write", 0, kSpeedEaseOut, true, strings::kClipEditFailed},
    };
    EXPECT_FALSE(model->CanSetSpeedCurve(PositionOf(50)));
    EXPECT_FALSE(model->CanSetSpeedCurve(7));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<MotionClip> before = Clips();
        const size_t files = WorkingFiles();
        const int undo = model->UndoCount();
        motion.failNext = c.failWrite;
        const EditResult result = model->SetSpeedCurve(PositionOf(c.firstFrame), c.curve);
        EXPECT_FALSE(result.done);
        EXPECT_EQ(result.message.id, c.message);
        EXPECT_EQ(Clips(), before);
        EXPECT_EQ(WorkingFiles(), files);
        EXPECT_EQ(model->UndoCount(), undo);
    }
    EXPECT_FALSE(model->SetSpeedCurve(-1, kSpeedEaseIn).done);
}

// A cut keeps what plays: each part plays its frames of the eased file, with no curve of its
// own that a later curve could compound.
TEST_F(SpeedCurveEdits, SplitAndCropPiecesPlayTheirPartOfTheEasedClip) {
    ASSERT_TRUE(Add(30, 0).done);
    ASSERT_TRUE(model->SetSpeedCurve(0, kSpeedEaseIn).done);
    const std::string eased = Clip().fileName;
    ASSERT_TRUE(model->SplitAtFrame(10).done);
    for (const MotionClip& half : Clips()) {
        EXPECT_EQ(half.speedCurve, kSpeedConstant);
        EXPECT_FALSE(half.stretched);
        EXPECT_NE(ReadFile(half.fileName).find("of " + eased), std::string::npos);
    }
    ASSERT_TRUE(model->Undo().done);
    model->SetInMark(5);
    model->SetOutMark(20);
    ASSERT_TRUE(model->CropToMarks().done);
    ASSERT_EQ(Ranges(), (std::vector<testing::Range>{{5, 20}}));
    EXPECT_EQ(Clip().speedCurve, kSpeedConstant);
    ASSERT_TRUE(model->Undo().done);
    EXPECT_EQ(Clip().speedCurve, kSpeedEaseIn);
    EXPECT_EQ(Clip().fileName, eased);

    // Trimmed at its head by a move to the best blend, likewise: a later stretch starts from
    // the trimmed file, not from the whole source.
    motion.bestTransition = [](const std::string&, const std::string&, const MatchLimits& l) {
        return l.minOverlap == l.maxOverlap ? TransitionPoint{30, 0, 10, 50.0f}
                                            : TransitionPoint{20, 3, 10, 10.0f};
    };
    ASSERT_TRUE(Add(20, 40).done);
    ASSERT_TRUE(model->SetSpeedCurve(PositionOf(40), kSpeedEaseOut).done);
    const std::string later = model->ClipAtPosition(PositionOf(40))->fileName;
    ASSERT_TRUE(model->BlendAtBestPoint(PositionOf(40)).done);
    const MotionClip trimmed = *model->ClipAtPosition(PositionOf(20));
    EXPECT_EQ(trimmed.Length(), 17);
    EXPECT_EQ(ReadFile(trimmed.fileName), Made("second of " + later, 17));
    EXPECT_FALSE(trimmed.stretched);
    EXPECT_EQ(trimmed.speedCurve, kSpeedConstant);
    ASSERT_TRUE(model->ResizeClip(PositionOf(20), 20, 45).done);
    EXPECT_EQ(ReadFile(model->ClipAtPosition(PositionOf(20))->fileName),
              Made("stretched " + trimmed.fileName, 26));
}

// Curves are saved after the layers' section, which a project without layers writes empty, so
// that a reader of layers still finds it first; projects without curves stay as they were.
TEST_F(SpeedCurveEdits, CurvesAreSavedWhereOlderReadersPassOverThem) {
    ASSERT_TRUE(Add(30, 0).done);
    ASSERT_TRUE(Add(20, 40).done);
    ASSERT_TRUE(Add(10, 70).done);
    const std::string plain = FileBytes(Save("plain.tvp"));
    EXPECT_EQ(plain.find(CLayerSection::kTag), std::string::npos);
    EXPECT_EQ(plain.find(CSpeedSection::kTag), std::string::npos);
    ASSERT_TRUE(model->SetSpeedCurve(PositionOf(0), kSpeedEaseOut).done);
    ASSERT_TRUE(model->SetSpeedCurve(PositionOf(70), kSpeedEaseBoth).done);
    const std::string text = FileBytes(Save("eased.tvp"));
    const std::string tail = "I,0\nLayers,0\nSpeeds,2\nC,0,out\nC,2,both\n";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
    // A reader of layers reads its section and stops before the curves.
    std::istringstream lines(text.substr(text.find("Layers")));
    const CLayerSection::LineSource next = [&]() -> std::optional<std::string> {
        std::string line;
        if (!std::getline(lines, line)) return std::nullopt;
        return line;
    };
    std::string reason;
    const auto layers = CLayerSection::Parse(next, &reason);
    ASSERT_TRUE(layers) << reason;
    EXPECT_TRUE(layers->tracks.empty());
    EXPECT_EQ(next(), "Speeds,2");

    // Opened again, the clips have their curves and play the same files.
    const ProjectReadResult read = Read(root / "saved/eased.tvp");
    ASSERT_TRUE(read.messages.empty()) << read.messages[0].id;
    const std::vector<MotionClip> opened = testing::ClipsOf(read.project);
    ASSERT_EQ(opened.size(), 3u);
    const SpeedCurve expected[] = {kSpeedEaseOut, kSpeedConstant, kSpeedEaseBoth};
    for (size_t i = 0; i < opened.size(); ++i) {
        EXPECT_EQ(opened[i].speedCurve, expected[i]) << i;
        EXPECT_EQ(FileBytes(opened[i].fileName), FileBytes(Clips()[i].fileName)) << i;
    }
    // With layers the curves follow the layers' lines.
    ASSERT_TRUE(model->AddLayer().done);
    const std::string layered = FileBytes(Save("layered.tvp"));
    EXPECT_NE(layered.find("Layers,1\nT,0\nSpeeds,2\n"), std::string::npos);
    EXPECT_EQ(testing::ClipsOf(Read(root / "saved/layered.tvp").project).front().speedCurve,
              kSpeedEaseOut);
}

// A damaged section opens every clip as it was saved, with no curve, and says so; a curve on a
// clip that has no source to make it from again is no curve.
TEST_F(SpeedCurveEdits, DamagedCurvesOpenTheClipsAsSaved) {
    ASSERT_TRUE(Add(30, 0).done);
    ASSERT_TRUE(Add(20, 40).done);
    ASSERT_TRUE(model->SetSpeedCurve(PositionOf(0), kSpeedEaseIn).done);
    const std::string good = FileBytes(Save("good.tvp"));
    const size_t section = good.find("Speeds");
    ASSERT_NE(section, std::string::npos);
    const std::string head = good.substr(0, section);
    const std::string damaged[] = {
        "Speeds,1\n",                   // cut short
        "Speeds,x\nC,0,in\n",           //
        "Speeds,3\nC,0,in\n",           // more curves than clips
        "Speeds,1\nC,2,in\n",           // a line naming no clip
        "Speeds,1\nC,-1,in\n",          //
        "Speeds,1\nC,0,fast\n",         // no such curve
        "Speeds,1\nC,0\n",              // fields missing
        "Speeds,2\nC,0,in\nC,0,out\n",  // two curves for one clip
        "Curves,1\nC,0,in\n",           // not the section
    };
    for (const std::string& curves : damaged) {
        SCOPED_TRACE(curves);
        std::ofstream(root / "saved/damaged.tvp", std::ios::binary) << head << curves;
        const ProjectReadResult read = Read(root / "saved/damaged.tvp");
        ASSERT_EQ(read.messages.size(), 1u);
        EXPECT_EQ(read.messages[0].id, strings::kSpeedSectionDamaged);
        const std::vector<MotionClip> opened = testing::ClipsOf(read.project);
        ASSERT_EQ(opened.size(), 2u);
        EXPECT_EQ(opened[0].speedCurve, kSpeedConstant);
        EXPECT_EQ(FileBytes(opened[0].fileName), FileBytes(Clips()[0].fileName));
    }
    std::ofstream(root / "saved/unstretched.tvp", std::ios::binary) << head << "Speeds,1\nC,1,in\n";
    const ProjectReadResult read = Read(root / "saved/unstretched.tvp");
    EXPECT_TRUE(read.messages.empty());
    EXPECT_EQ(testing::ClipsOf(read.project)[1].speedCurve, kSpeedConstant);
}

}  // namespace
}  // namespace tavrel

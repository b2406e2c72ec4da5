// An FBX file of two takes in the user's library: the gallery lists it, a drag brings it onto
// the timeline, the chooser that asks for the take is answered by keys, and a clip as long as
// that take appears, with a note of the joints the avatar has no place for.
#include <QComboBox>
#include <QInputDialog>
#include <fstream>

#include "tests/journeys/JourneyFixture.h"
#include "tests/support/ColladaWriter.h"
#include "tests/support/FbxBinary.h"
#include "tests/support/FbxText.h"
#include "tests/support/TempFolder.h"

namespace tavrel::journeys {
namespace {

using SceneFileJourney = JourneyFixture;

TEST_F(SceneFileJourney, AnFbxOfTwoTakesDroppedFromTheGalleryBringsTheChosenTake) {
    tavrel::testing::SceneFigure figure("mixamorig:");
    figure.takes = {{"Walk", 2.0}, {"Run", 1.0}};
    figure.ticksPerSecond = 1;  // Assimp's FBX exporter writes key times as seconds
    for (auto& joint : figure.joints) joint.preRotated = false;
    const fs::path folder = Library() / "Locomotion";
    ASSERT_TRUE(figure.Export((folder / "figure.fbx").string(), "fbxa", true));
    ASSERT_TRUE(ShowFolder(folder));
    ASSERT_TRUE(WaitUntil([&] { return !ThumbnailOf("figure.fbx").isNull(); }));

    // The chooser opens inside the drop: it is answered from the event loop, by keys.
    QStringList offered;
    QTimer answer;
    answer.setInterval(20);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        auto* box = dialog ? dialog->findChild<QComboBox*>() : nullptr;
        if (!box) return;
        answer.stop();
        for (int i = 0; i < box->count(); ++i) offered << box->itemText(i);
        QTest::keyClick(box, Qt::Key_Down);
        QTest::keyClick(box, Qt::Key_Return);
    });
    answer.start();
    // Then the note that the toes and the end joints found no place on the avatar.
    const std::shared_ptr<QString> note = AnswerNextMessage(QMessageBox::Ok);
    DropMotion("figure.fbx", 0);
    ASSERT_TRUE(WaitUntil([&] { return Model().Project().motionClips.Count() == 1; }));
    EXPECT_EQ(offered, QStringList({"Walk", "Run"}));
    ASSERT_TRUE(WaitUntil([&] { return !note->isEmpty(); }));
    EXPECT_TRUE(note->contains("figure.fbx") && note->contains("ToeBase")) << note->toStdString();
    // The run's second at the timeline's 60 frames a second.
    const MotionClip& clip = *Model().ClipAtPosition(0);
    EXPECT_EQ(clip.lastFrame - clip.firstFrame, 60);
    EXPECT_TRUE(fs::exists(clip.fileName)) << clip.fileName;
}

class ColladaJourney : public JourneyFixture {
protected:
    // Writes the figure's one take into the library, drops it from the gallery and waits for
    // the clip and the note of the joints the avatar has no place for.
    void DropCollada(const tavrel::testing::SceneFigure& figure,
                     const tavrel::testing::ColladaWriter::Style& style, const char* name) {
        const fs::path folder = Library() / "Gestures";
        ASSERT_TRUE(tavrel::testing::ColladaWriter::Write(figure, (folder / name).string(), style));
        ASSERT_TRUE(ShowFolder(folder));
        ASSERT_TRUE(WaitUntil([&] { return !ThumbnailOf(name).isNull(); }));
        const std::shared_ptr<QString> note = AnswerNextMessage(QMessageBox::Ok);
        ASSERT_TRUE(DropAndWait(name, 0));
        ASSERT_TRUE(WaitUntil([&] { return !note->isEmpty(); }));
        EXPECT_TRUE(note->contains(name) && note->contains("ToeBase")) << note->toStdString();
    }
};

// A COLLADA file as other tools write it (Z up, centimetres, a skin): one take, so no chooser.
TEST_F(ColladaJourney, AColladaFileOfOneTakeDroppedFromTheGalleryBringsThatTake) {
    tavrel::testing::SceneFigure figure("mixamorig:");
    figure.takes = {{"Wave", 1.5}};
    ASSERT_NO_FATAL_FAILURE(DropCollada(figure, {true, true}, "wave.dae"));
    const MotionClip& clip = *Model().ClipAtPosition(0);
    EXPECT_EQ(clip.lastFrame - clip.firstFrame, 90);
}

// Turns and the root's place keyed on Bezier curves, four keys a second: the file lies on the
// timeline as a clip of its take (where the curves take the limbs between keys is the reader's
// tests' to check).
TEST_F(ColladaJourney, AColladaFileOfCurvedKeysIsPlayedAlongItsCurves) {
    tavrel::testing::SceneFigure figure("mixamorig:");
    figure.takes = {{"Sway", 1.0, 4, 1.0f, false, false, true}};
    tavrel::testing::ColladaWriter::Style style{false, true};
    style.interpolation = "BEZIER";
    ASSERT_NO_FATAL_FAILURE(DropCollada(figure, style, "sway.dae"));
    const MotionClip& clip = *Model().ClipAtPosition(0);
    EXPECT_EQ(clip.lastFrame - clip.firstFrame, 60);
}

// An FBX whose keys hold until the next (a robot's stepped motion), binary or text: the avatar
// stands still between keys, and moves at the next.
class HeldFbxJourney : public JourneyFixture {
protected:
    void DropHeld(const std::string& format) {
        tavrel::testing::SceneFigure figure("mixamorig:");
        figure.takes = {{"Steps", 1.0, 4}};
        figure.ticksPerSecond = 1;
        for (auto& joint : figure.joints) joint.preRotated = false;
        const fs::path folder = Library() / "Gestures";
        const fs::path exported = folder / "steps.part";  // no motion to the gallery
        ASSERT_TRUE(figure.Export(exported.string(), format.c_str()));
        std::string bytes = tavrel::testing::ReadFile(exported);
        fs::remove(exported);
        if (format == "fbx") {
            bytes = tavrel::testing::FbxBinary::Closed(bytes);
            ASSERT_GT(tavrel::testing::FbxBinary::SetFlags(bytes, 0x2), 0);
        } else {
            ASSERT_GT(tavrel::testing::SetFbxTextValues(bytes, "KeyAttrFlags", "2"), 0);
        }
        std::ofstream(folder / "steps.fbx", std::ios::binary) << bytes;
        ASSERT_TRUE(ShowFolder(folder));
        ASSERT_TRUE(WaitUntil([&] { return !ThumbnailOf("steps.fbx").isNull(); }));
        const std::shared_ptr<QString> note = AnswerNextMessage(QMessageBox::Ok);
        ASSERT_TRUE(DropAndWait("steps.fbx", 0));
        ASSERT_TRUE(WaitUntil([&] { return !note->isEmpty(); }));
        // Keys every 15 frames at 60 a second: frames 16 and 28 show the key of frame 15.
        const auto pictureAt = [&](int frame) {
            Panel().SetCurrentFrame(frame);
            return Next3DPicture();
        };
        const QImage held = pictureAt(16);
        EXPECT_LT(Difference(held, pictureAt(28)), 1e-4);
        EXPECT_GT(Difference(held, pictureAt(31)), 0.001);
    }
};

TEST_F(HeldFbxJourney, AnFbxOfHeldKeysHoldsTheAvatarStillBetweenKeys) {
    ASSERT_NO_FATAL_FAILURE(DropHeld("fbx"));
}

TEST_F(HeldFbxJourney, ATextFbxOfHeldKeysHoldsTheAvatarStillBetweenKeys) {
    ASSERT_NO_FATAL_FAILURE(DropHeld("fbxa"));
}

}  // namespace
}  // namespace tavrel::journeys

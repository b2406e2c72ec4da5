// A user drops a walk on the timeline and exports it from the File menu as glTF for another 3D
// tool, typing the file's name into the save dialog: the file appears, reads back as glTF and
// holds the avatar's body and a key for every frame of the walk.
#include "tests/journeys/JourneyFixture.h"
#include "tests/support/GltfReadBack.h"

namespace tavrel::journeys {
namespace {

using ExportGltfJourney = JourneyFixture;

TEST_F(ExportGltfJourney, TheWalkExportedFromTheFileMenuReadsBackAsGltf) {
    ASSERT_TRUE(ShowFolder(Library() / "Locomotion"));
    ASSERT_TRUE(DropAndWait("walk.cha", 0));
    const int frames = Model().Project().LastFrame() + 1;

    const fs::path out = Home() / "walk.glb";
    const auto written = AnswerNextMessage(QMessageBox::Ok);
    const auto typed = TypeIntoNextFileDialog(out);
    Key(Qt::Key_F, Qt::AltModifier);
    ASSERT_TRUE(WaitUntil([] { return QApplication::activePopupWidget() != nullptr; }));
    Key(Qt::Key_M);  // Export &Motion...
    ASSERT_TRUE(WaitUntil([&] { return !written->isEmpty(); })) << "no word of the export";
    EXPECT_TRUE(*typed);
    EXPECT_TRUE(written->contains("walk.glb")) << written->toStdString();

    tinygltf::Model model;
    std::string error;
    ASSERT_TRUE(tavrel::testing::LoadGltf(out, &model, &error)) << error;
    ASSERT_EQ(model.meshes.size(), 1u);  // the avatar's body
    ASSERT_EQ(model.animations.size(), 1u);
    EXPECT_EQ(model.accessors[model.animations[0].samplers[0].input].count, size_t(frames));
}

}  // namespace
}  // namespace tavrel::journeys

// Every drag of the two clip tracks, interrupted by every kind of change of the model: the
// change cancels the drag, so that the drop touches nothing.
#include <functional>

#include "tests/timeline/ui/PanelFixture.h"
#include "timeline/TimelineCommands.h"
#include "timeline/ui/MediaTrack.h"

namespace tavrel::testing {
namespace {

struct DragCase {
    const char* name;
    bool media;  // on the media track, else on the motion track
    int row;     // of the motion track
    int from, to;
};

// Rows of the motion track, as PanelFixture has them.
constexpr int kMarks = 6, kEdge = 22, kClip = 33;

// Clips A 0-19, B 40-59, C 100-119 (transitions of 5 frames), pictures at 5 and 50, marks at
// 10 and 70.
constexpr DragCase kDrags[] = {
    {"MoveB", false, kClip, 45, 70},           {"ResizeLastOfB", false, kClip, 59, 65},
    {"ResizeFirstOfB", false, kClip, 40, 35},  {"TransitionOutOfA", false, kEdge, 15, 12},
    {"TransitionInOfB", false, kEdge, 44, 48}, {"InMark", false, kMarks, 10, 30},
    {"MovePicture", true, 12, 5, 30},
};

class ClipDragTest : public PanelFixture,
                     public ::testing::WithParamInterface<std::tuple<int, int>> {
public:
    void CutClipC() { RightClick(At(110), commands::kCut[0]); }

protected:
    struct State {
        std::vector<MotionClip> clips;
        std::vector<MediaClip> media;
        int undo, in, out;
        bool operator==(const State&) const = default;
    };
    State Now() {
        return {ClipsOf(Model().Project()), Media(), Model().UndoCount(), Model().InMark(),
                Model().OutMark()};
    }
};

// The changes a user can make while holding the button: keys and menus of the editor.
const std::function<void(ClipDragTest&, CTimelinePanel&)> kChanges[] = {
    [](ClipDragTest&, CTimelinePanel& panel) { panel.Undo(); },
    [](ClipDragTest&, CTimelinePanel& panel) { panel.Redo(); },
    [](ClipDragTest&, CTimelinePanel& panel) { panel.HandleKey(Qt::Key_Delete); },
    [](ClipDragTest& test, CTimelinePanel&) { test.CutClipC(); },
};
constexpr const char* kChangeNames[] = {"Undo", "Redo", "DeleteKey", "CutFromTheMenu"};

TEST_P(ClipDragTest, AChangeOfTheModelCancelsTheDrag) {
    const DragCase& drag = kDrags[std::get<0>(GetParam())];
    for (const int frame : {5, 50}) {
        Model().SetCurrentFrame(frame);
        const std::string name = "p" + std::to_string(frame) + ".jpg";
        ASSERT_TRUE(Model().AddMediaFile(root.Write("user/" + name, "x"), 1, false).done);
    }
    AddClip(20, 0);
    AddClip(20, 40);
    AddClip(20, 100);
    AddClip(10, 200);
    panel->Undo();  // a step to redo
    Model().SetInMark(10);
    Model().SetOutMark(70);
    // Delete takes clip C, or the picture pressed on the media track.
    Model().Select(drag.media ? -1 : 0);
    Model().SelectMedia(-1);
    QWidget& window = drag.media ? static_cast<QWidget&>(panel->MediaTrack()) : Grid();

    Press(window, At(drag.from, drag.row));
    MoveHeld(window, At((drag.from + drag.to) / 2, drag.row));
    const State before = Now();
    kChanges[std::get<1>(GetParam())](*this, *panel);
    const State changed = Now();
    ASSERT_NE(changed, before) << "the change must change the model";
    MoveHeld(window, At(drag.to, drag.row));
    Release(window, At(drag.to, drag.row));
    EXPECT_EQ(Now(), changed);
    EXPECT_EQ(Grid().Drag(), CObjectGrid::DragMode::kNone);
}

INSTANTIATE_TEST_SUITE_P(EveryDragEveryChange, ClipDragTest,
                         ::testing::Combine(::testing::Range(0, int(std::size(kDrags))),
                                            ::testing::Range(0, int(std::size(kChanges)))),
                         [](const auto& info) {
                             return std::string(kDrags[std::get<0>(info.param)].name) + "_" +
                                    kChangeNames[std::get<1>(info.param)];
                         });

}  // namespace
}  // namespace tavrel::testing

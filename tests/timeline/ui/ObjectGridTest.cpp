// Mouse edits of the motion track, sent through its event handlers, checked on the model.
#include <QMenu>
#include <QMimeData>
#include <QUrl>

#include "settings/StringIds.h"
#include "tests/timeline/ui/PanelFixture.h"
#include "timeline/ClipPlace.h"
#include "timeline/TimelineCommands.h"
#include "timeline/ui/TimelineStrings.h"

namespace tavrel::testing {
namespace {

using Grid = CObjectGrid;

class ObjectGridTest : public PanelFixture {
protected:
    // Straight to the window's handlers: the platform's drag machinery is not needed.
    void Deliver(QDropEvent& drop) { static_cast<QObject&>(Grid()).event(&drop); }
};

TEST_F(ObjectGridTest, DraggingAClipMovesItAsOneUndoableEdit) {
    AddClip(30, 100);
    const int undo = Model().UndoCount();
    Drag(Grid(), At(110), At(150));
    EXPECT_EQ(Ranges(), (std::vector<Range>{{140, 169}}));
    EXPECT_EQ(Model().UndoCount(), undo + 1);
    Model().SetCurrentFrame(105);
    panel->Undo();
    EXPECT_EQ(Ranges(), (std::vector<Range>{{100, 129}}));
    // The restored view's frame reaches the avatar with the restored clips.
    EXPECT_EQ(colleague.samples.back(), Model().GetFrameSample(Model().CurrentFrame()));
    panel->Redo();
    EXPECT_EQ(Ranges(), (std::vector<Range>{{140, 169}}));
}

TEST_F(ObjectGridTest, MovesStopAtTheTimelinesEnds) {
    AddClip(30, 100);
    Drag(Grid(), At(110), QPoint(-500, Grid::kClipTop + 2));
    EXPECT_EQ(Ranges(), (std::vector<Range>{{0, 29}}));
    // Far right: the frame under the mouse is 17999; the clip ends there.
    Drag(Grid(), At(10), QPoint(1 << 20, Grid::kClipTop + 2));
    EXPECT_EQ(Ranges(), (std::vector<Range>{{kMaxFrame - 29, kMaxFrame}}));
    EXPECT_EQ(Mapping().LastVisible(), kMaxFrame);  // the tracks scrolled after the mouse
}

TEST_F(ObjectGridTest, AMoveOrResizeEndingWhereItStartedLeavesNoRecord) {
    AddClip(30, 100);
    const int undo = Model().UndoCount();
    Press(Grid(), At(110));
    MoveHeld(Grid(), At(170));
    EXPECT_EQ(Grid().DragCopy().firstFrame, 160);
    MoveHeld(Grid(), At(110));
    Release(Grid(), At(110));
    Press(Grid(), At(129));  // the last frame: a resize
    EXPECT_EQ(Grid().Drag(), Grid::DragMode::kMoveLast);
    MoveHeld(Grid(), At(140));
    MoveHeld(Grid(), At(129));
    Release(Grid(), At(129));
    EXPECT_EQ(Model().UndoCount(), undo);
    EXPECT_EQ(Ranges(), (std::vector<Range>{{100, 129}}));
    EXPECT_FALSE(Earliest().stretched);
}

TEST_F(ObjectGridTest, HoveringAClipsEndOffersAResizeButNotOnOneFrameClips) {
    AddClip(30, 100);
    AddClip(1, 200);
    Hover(Grid(), At(129));
    EXPECT_TRUE(Grid().ResizeMayStart());
    EXPECT_EQ(Grid().cursor().shape(), Qt::SizeHorCursor);
    EXPECT_EQ(Grid().toolTip(), "m0.cha");
    Hover(Grid(), At(115));
    EXPECT_FALSE(Grid().ResizeMayStart());
    Hover(Grid(), At(200));
    EXPECT_FALSE(Grid().ResizeMayStart());
    EXPECT_EQ(Grid().cursor().shape(), Qt::ArrowCursor);
    Hover(Grid(), At(300));
    EXPECT_TRUE(Grid().toolTip().isEmpty());
}

TEST_F(ObjectGridTest, ResizingStretchesTheClipWithinItsBounds) {
    AddClip(30, 0);
    AddClip(30, 40);
    Press(Grid(), At(29));
    EXPECT_EQ(Grid().toolTip(), panel->Text(strings::kDragToResize));
    MoveHeld(Grid(), At(60));  // past the next clip: stops before it
    Release(Grid(), At(60));
    EXPECT_EQ(Ranges(), (std::vector<Range>{{0, 39}, {40, 69}}));
    const MotionClip stretched = Earliest();
    EXPECT_EQ(stretched.stretched, 1);
    EXPECT_EQ(motion.FrameCount(stretched.fileName), 40);
    EXPECT_EQ(Model().UndoCount(), 3);
    // The first frame of the later clip cannot go before the earlier clip's end.
    Drag(Grid(), At(40), At(10));
    EXPECT_EQ(Ranges(), (std::vector<Range>{{0, 39}, {40, 69}}));
}

TEST_F(ObjectGridTest, AThreeFrameClipCannotBeShortened) {
    AddClip(3, 100);
    const int undo = Model().UndoCount();
    Drag(Grid(), At(100), At(102));
    Drag(Grid(), At(102), At(95));  // the last end, dragged left
    EXPECT_EQ(Ranges(), (std::vector<Range>{{100, 102}}));
    EXPECT_EQ(Model().UndoCount(), undo);
}

TEST_F(ObjectGridTest, TransitionEndsAreDraggedWithinTheirClip) {
    AddClip(30, 0);   // lengths 5: out zone 25..29
    AddClip(20, 40);  // in zone 40..44
    const int undo = Model().UndoCount();
    Drag(Grid(), At(25, kTransitionRow), At(20, kTransitionRow));
    EXPECT_EQ(Earliest().transitionOut, 10);
    // The out end stops where the clip's own in zone ends.
    Drag(Grid(), At(20, kTransitionRow), At(1, kTransitionRow));
    EXPECT_EQ(Earliest().transitionOut, 30 - Earliest().transitionIn);
    Drag(Grid(), At(44, kTransitionRow), At(50, kTransitionRow));
    EXPECT_EQ(Latest().transitionIn, 11);
    Drag(Grid(), At(50, kTransitionRow), At(80, kTransitionRow));
    EXPECT_EQ(Latest().transitionIn, 20 - Latest().transitionOut);
    EXPECT_EQ(Model().UndoCount(), undo + 4);  // each drag a step of its own
}

TEST_F(ObjectGridTest, ABlendOverAnOverlapIsEditedWhereItIsDrawn) {
    AddClip(30, 0);
    AddClip(30, 40);
    ASSERT_TRUE(Model().MoveClip(Model().PositionOfClipAt(40), 20).done);  // overlap 20..29
    EXPECT_EQ(Model().GetFrameSample(20).fileB, Latest().fileName);
    // Its curve from the overlap on the clips, and from the strip above it.
    for (int row : {kTransitionRow, CObjectGrid::kClipTop + 6}) {
        RightClick(At(25, row));
        EXPECT_EQ(Grid().RightClickTransition(), 1) << row;
    }
    RightClick(At(25, CObjectGrid::kClipTop + 6), commands::kCurveEaseIn);
    EXPECT_EQ(Model().GetFrameSample(25).curve, int(kCurveEaseIn));
    // Its start edge, on the clips: the blend is shortened, no clip moves.
    Hover(Grid(), At(20));
    EXPECT_TRUE(Grid().EdgeMayStart());
    EXPECT_EQ(Grid().cursor().shape(), Qt::SizeHorCursor);
    const int undo = Model().UndoCount();
    Drag(Grid(), At(20), At(24));
    EXPECT_EQ(Ranges(), (std::vector<Range>{{0, 29}, {20, 49}}));
    EXPECT_EQ(Model().UndoCount(), undo + 1);
    EXPECT_TRUE(Model().GetFrameSample(22).fileB.empty());  // A alone before the blend
    EXPECT_FALSE(Model().GetFrameSample(26).fileB.empty());
    panel->Undo();
    EXPECT_FALSE(Model().GetFrameSample(22).fileB.empty());
}

TEST_F(ObjectGridTest, ClipEndsHaveHandlesSixPixelsWideAtEveryZoom) {
    AddClip(60, 100);
    for (int step = 0; step < 9; ++step) {
        SCOPED_TRACE(step);
        panel->RunCommand(commands::kZoomReset);
        while (Mapping().Step() < step) panel->RunCommand(commands::kZoomIn);
        while (Mapping().Step() > step) panel->RunCommand(commands::kZoomOut);
        panel->ScrollTo(Mapping().Scroll() + Mapping().XOf(95));
        const int end = Mapping().XOf(160);  // just after the last frame
        int covered = 0;
        for (int x = end - 20; x < end + 20; ++x) {
            Hover(Grid(), QPoint(x, CObjectGrid::kClipTop + 6));
            covered += Grid().ResizeMayStart();
        }
        EXPECT_GE(covered, CObjectGrid::kHandlePixels);
        // A press beside the end, within its handle, resizes from where it was pressed.
        const int undo = Model().UndoCount();
        Drag(Grid(), QPoint(end + 1, CObjectGrid::kClipTop + 6),
             QPoint(end + 1 + 2 * Mapping().PixelsPerFrame(), CObjectGrid::kClipTop + 6));
        EXPECT_EQ(Earliest().lastFrame, 161);
        EXPECT_EQ(Model().UndoCount(), undo + 1);
        panel->Undo();
    }
}

TEST_F(ObjectGridTest, MarksAreDraggedAndSwapWhenTheyCross) {
    AddClip(100, 0);
    Model().SetInMark(10);
    Model().SetOutMark(50);
    Drag(Grid(), At(10, kMarkRow), At(30, kMarkRow));
    EXPECT_EQ(Model().InMark(), 30);
    Drag(Grid(), At(30, kMarkRow), At(70, kMarkRow));
    EXPECT_EQ(Model().InMark(), 50);
    EXPECT_EQ(Model().OutMark(), 70);
    // A press beside the marks moves the current frame instead.
    Press(Grid(), At(90, kMarkRow));
    Release(Grid(), At(90, kMarkRow));
    EXPECT_EQ(Model().CurrentFrame(), 90);
    EXPECT_EQ(colleague.samples.back().frame, 90);
}

TEST_F(ObjectGridTest, ShiftDragZoomsInLeftwardsAndOutRightwards) {
    AddClip(30, 0);
    const int step = Mapping().Step();
    Press(Grid(), At(50), Qt::ShiftModifier);
    MoveHeld(Grid(), At(50) - QPoint(40, 0));
    EXPECT_GT(Mapping().Step(), step);
    Release(Grid(), QPoint(0, 0));
    Press(Grid(), QPoint(100, 33), Qt::ShiftModifier);
    MoveHeld(Grid(), QPoint(130, 33));
    MoveHeld(Grid(), QPoint(170, 33));
    Release(Grid(), QPoint(200, 33));
    EXPECT_LT(Mapping().Step(), step);
    EXPECT_EQ(Ranges(), (std::vector<Range>{{0, 29}}));  // no clip moved
}

TEST_F(ObjectGridTest, DoubleClickHandsTheClipToTheColleagueOnlyWhenStoppedAndZoomed) {
    AddClip(30, 0);
    Send(Grid(), QEvent::MouseButtonDblClick, At(5), Qt::LeftButton, Qt::LeftButton);
    ASSERT_EQ(colleague.shown.size(), 1u);
    EXPECT_EQ(colleague.shown[0], Latest().fileName);
    panel->RunCommand(commands::kOverview);
    Send(Grid(), QEvent::MouseButtonDblClick, At(5), Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(colleague.shown.size(), 1u);
}

TEST_F(ObjectGridTest, EditsWaitWhilePlaying) {
    AddClip(30, 100);
    panel->PlayAll();
    Drag(Grid(), At(110), At(150));
    EXPECT_EQ(Ranges(), (std::vector<Range>{{100, 129}}));
    RightClick(At(110), commands::kDelete[0]);
    EXPECT_EQ(Ranges(), (std::vector<Range>{{100, 129}}));
}

TEST_F(ObjectGridTest, TheContextMenuFollowsTheStateAtTheRightClick) {
    AddClip(30, 0);
    AddClip(30, 40);
    Model().Select(-1);
    RightClick(At(35, kTransitionRow));
    EXPECT_TRUE(menuShown);
    EXPECT_EQ(Grid().RightClickTransition(), 1);
    std::unique_ptr<QMenu> menu = Grid().BuildContextMenu();
    std::map<int, QAction*> actions;
    for (QAction* a : menu->actions()) {
        if (a->menu()) {
            for (QAction* s : a->menu()->actions()) actions[s->data().toInt()] = s;
        } else if (!a->isSeparator()) {
            actions[a->data().toInt()] = a;
        }
    }
    // Each item shows what the rules say of its command (CommandRules tests those).
    for (const auto& [command, action] : actions) {
        const CommandState state = Grid().ContextCommandState(command);
        EXPECT_EQ(action->isEnabled(), state.enabled) << command;
        EXPECT_EQ(action->isChecked(), state.checked) << command;
    }
    EXPECT_TRUE(actions.at(commands::kCurveLinear)->isChecked());
    EXPECT_EQ(actions.at(commands::kAlignAt[2][0])->text(), "Align at the left hand");
    // A choice in the menu runs: the curve of the earlier clip changes, one step of its own.
    const int undo = Model().UndoCount();
    RightClick(At(35, kTransitionRow), commands::kCurveEaseOut);
    EXPECT_EQ(Earliest().curveType, kCurveEaseOut);
    EXPECT_EQ(Model().UndoCount(), undo + 1);
    // Off the transitions the curve items are disabled.
    RightClick(At(10, kTransitionRow));
    EXPECT_EQ(Grid().RightClickTransition(), 0);
}

TEST_F(ObjectGridTest, ContextCommandsWorkOnTheRightClickedClipAndFrame) {
    AddClip(30, 0);
    AddClip(30, 40);
    RightClick(At(50), commands::kSetInMark);  // selects the later clip too
    EXPECT_EQ(Model().InMark(), 50);
    EXPECT_EQ(Model().SelectedPosition(), 0);
    RightClick(At(45), commands::kSetOutMark);
    EXPECT_EQ(Model().InMark(), 45);  // the out mark before the in mark swaps them
    EXPECT_EQ(Model().OutMark(), 50);
    Grid().RunContextCommand(commands::kGoOutMark);
    EXPECT_EQ(Model().CurrentFrame(), 50);
    Grid().RunContextCommand(commands::kClearInMark);
    EXPECT_EQ(Model().InMark(), -1);
    Grid().RunContextCommand(commands::kCopy[1]);
    Grid().RunContextCommand(commands::kCut[1]);
    EXPECT_EQ(Ranges(), (std::vector<Range>{{0, 29}}));
    RightClick(At(10), commands::kReverse);
    EXPECT_NE(ReadFile(Latest().fileName).find("reversed"), std::string::npos);
    RightClick(At(10), commands::kMirror);
    EXPECT_NE(ReadFile(Latest().fileName).find("mirrored"), std::string::npos);
    // The speed submenu eases the clip; its tooltip names the curve.
    RightClick(At(10), commands::kSpeedCommands[kSpeedEaseIn]);
    EXPECT_EQ(Latest().speedCurve, kSpeedEaseIn);
    EXPECT_NE(ReadFile(Latest().fileName).find("stretched in"), std::string::npos);
    Send(Grid(), QEvent::MouseMove, At(10), Qt::NoButton, Qt::NoButton);
    EXPECT_TRUE(Grid().toolTip().endsWith(panel->Text(commands::kSpeedCommands[kSpeedEaseIn])))
        << Grid().toolTip().toStdString();
    // "Repeat..." asks how many times; a cancelled question changes nothing.
    dialogs.number = 0;
    RightClick(At(10), commands::kRepeat);
    EXPECT_EQ(Ranges(), (std::vector<Range>{{0, 29}}));
    dialogs.number = 2;
    RightClick(At(10), commands::kRepeat);
    EXPECT_EQ(Ranges(), (std::vector<Range>{{0, 59}}));
    EXPECT_EQ(dialogs.messages.back(), panel->Text(strings::kRepeatQuestion).toStdString());
    ASSERT_TRUE(Model().Undo().done);
    RightClick(At(10), commands::kClipRequest);
    ASSERT_EQ(colleague.requests.size(), 1u);
    EXPECT_EQ(colleague.requests[0].first, commands::kClipRequest);
    Model().SetCurrentFrame(15);
    Grid().RunContextCommand(commands::kMenuSplit);
    EXPECT_EQ(Ranges(), (std::vector<Range>{{0, 14}, {15, 29}}));
    // The later half aligned at the head to the earlier one.
    RightClick(At(20), commands::kAlignAt[1][1]);
    EXPECT_NE(ReadFile(Latest().fileName).find("aligned at Head"), std::string::npos);
    Model().SetCurrentFrame(100);
    RightClick(At(20), commands::kMenuAddInitialPose);
    EXPECT_EQ(Model().Project().motionClips.Count(), 3);
}

TEST_F(ObjectGridTest, TheClipsSwitchesAreCheckedInItsMenuAndUndone) {
    AddClip(30, 0);
    const auto place = [&] { return ClipPlaceOf(Model().SelectedClip()->offset); };
    EXPECT_FALSE(place().feetFree) << "planted by default";
    RightClick(At(10), commands::kKeepFeetPlanted);
    EXPECT_TRUE(place().feetFree);
    EXPECT_FALSE(place().ownPlace);
    RightClick(At(10), commands::kKeepOwnPlace);
    EXPECT_TRUE(place().ownPlace);
    EXPECT_TRUE(place().feetFree);
    ASSERT_TRUE(Model().Undo().done);
    ASSERT_TRUE(Model().Undo().done);
    EXPECT_FALSE(place().ownPlace || place().feetFree);

    // The setting for clips yet to come is in the same menu, with or without a clip.
    Model().Select(-1);
    RightClick(At(60), commands::kNewClipsKeepFeet);
    EXPECT_FALSE(Model().NewClipsKeepFeetPlanted());
    AddClip(30, 40);
    EXPECT_TRUE(place().feetFree);
}

TEST_F(ObjectGridTest, DroppedMotionFilesAreInsertedAtTheDropFrame) {
    const std::string walk = UserFile("walk.cha", 20);
    const std::string run = UserFile("run.CHB", 10);
    QMimeData data;
    data.setData(Grid::kMotionFilesMime, QByteArray::fromStdString(walk + "\n" + run + "\n"));
    QDropEvent drop(QPointF(At(300)), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    Deliver(drop);
    EXPECT_EQ(Ranges(), (std::vector<Range>{{300, 319}, {320, 329}}));
    // From a file manager: a list of addresses; an overlap asks the user (here it could blend).
    decisions.overlap = OverlapChoice::kShift;
    QMimeData uris;
    uris.setUrls({QUrl::fromLocalFile(QString::fromStdString(walk))});
    QDropEvent second(QPointF(At(310)), Qt::CopyAction, &uris, Qt::LeftButton, Qt::NoModifier);
    Deliver(second);
    EXPECT_EQ(decisions.asked, (std::vector<int>{61219}));
    EXPECT_EQ(Ranges(), (std::vector<Range>{{310, 329}, {334, 353}, {354, 363}}));
}

TEST_F(ObjectGridTest, DropsWithoutMotionFilesAreRefusedWithAMessage) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(root.Write("notes.txt", "x")))});
    bool hadFiles = false;
    EXPECT_TRUE(Grid::DroppedFiles(data, &hadFiles).empty());
    EXPECT_TRUE(hadFiles);
    QDropEvent drop(QPointF(At(10)), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    Deliver(drop);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0], panel->Text(strings::kNotMotionFiles).toStdString());
    EXPECT_EQ(Model().Project().motionClips.Count(), 0);
}

TEST_F(ObjectGridTest, RefusedMovesKeepTheClipAndTheHistory) {
    AddClip(30, 0);
    AddClip(5, 100);
    const int undo = Model().UndoCount();
    // The short clip dropped into the middle of the long one: refused.
    Drag(Grid(), At(101), At(11));
    EXPECT_EQ(Ranges(), (std::vector<Range>{{0, 29}, {100, 104}}));
    EXPECT_EQ(Model().UndoCount(), undo);
    // Overlapping the end of the long one: a cross-fade.
    Drag(Grid(), At(102), At(29));
    EXPECT_EQ(Ranges(), (std::vector<Range>{{0, 29}, {27, 31}}));
}

}  // namespace
}  // namespace tavrel::testing

// The panel's commands, keys, enabling, playback on a test clock, media and sound.
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QToolButton>
#include <cmath>
#include <regex>

#include "tests/media/WaveFiles.h"
#include "tests/timeline/ui/PanelFixture.h"
#include "timeline/TimelineCommands.h"
#include "timeline/ui/FrameRuler.h"
#include "timeline/ui/MediaTrack.h"
#include "timeline/ui/SoundTrack.h"
#include "timeline/ui/TimeLineView.h"
#include "timeline/ui/TimeSlider.h"
#include "timeline/ui/TimelineStrings.h"
#include "timeline/ui/TrackColours.h"

namespace tavrel::testing {
namespace {

using namespace commands;

// A PCM WAV file: 16-bit mono at 8000 samples a second.
std::string Wave(int samples) {
    std::string data;
    for (int i = 0; i < samples; ++i) data += Le16(uint16_t(i % 2 ? 12000 : -12000));
    return Wav({1, 1, 8000, 16}, data);
}

class TimelinePanelTest : public PanelFixture {
protected:
    void Key(int key) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(panel.get(), &press);
    }
    // The last message is the text of `id` with every placeholder filled, naming `file`.
    void ExpectToldAbout(int id, const std::string& file) {
        const std::string told = dialogs.messages.back();
        EXPECT_NE(told.find(file), std::string::npos) << told;
        EXPECT_EQ(told.find('%'), std::string::npos) << told;
        const std::string text = panel->Text(id).toStdString();
        const std::regex token("%[A-Za-z]+");
        for (std::sregex_token_iterator i(text.begin(), text.end(), token, -1), end; i != end;
             ++i) {
            EXPECT_NE(told.find(i->str()), std::string::npos) << told;
        }
    }
    // Lets the clock run and the play timer tick once.
    void Tick(int ms) {
        now += ms;
        const bool range = panel->PlayRangeTimer().IsRunning();
        panel->OnTimer(range ? panel->PlayRangeTimer().Identifier()
                             : panel->PlayAllTimer().Identifier());
    }
};

// Which commands are offered when is CommandRules' (tests/timeline); here the buttons follow.
TEST_F(TimelinePanelTest, PlayCommandsNeedClipsAndAStoppedTimeline) {
    Key(Qt::Key_Return);
    EXPECT_FALSE(panel->IsPlaying());
    AddClip(30, 0);
    panel->Refresh();
    EXPECT_TRUE(panel->Button(kPlayAll)->isEnabled());
    EXPECT_FALSE(panel->Button(kStop)->isEnabled());
    panel->RunCommand(kPlayAll);
    EXPECT_TRUE(panel->IsPlaying());
    EXPECT_TRUE(panel->Button(kStop)->isEnabled());
    EXPECT_FALSE(panel->Button(kPlayAll)->isEnabled());
    panel->RunCommand(kStopToStart);
    EXPECT_FALSE(panel->IsPlaying());
    EXPECT_EQ(panel->CurrentFrame(), 0);
}

TEST_F(TimelinePanelTest, ButtonTooltipsComeFromTheStringOfTheirCommand) {
    EXPECT_EQ(panel->Button(kPlayAll)->toolTip(), panel->Text(kPlayAll));
    EXPECT_FALSE(panel->Button(kCrop)->toolTip().isEmpty());
    EXPECT_LE(panel->Button(kAddImages)->toolTip().size(), 80);
    EXPECT_TRUE(panel->Button(kLoop)->isCheckable());
}

// On the smallest display (800 x 600) the panel is about 765 pixels wide: buttons that do not
// fit go to the overflow menu, so that every command stays reachable.
TEST_F(TimelinePanelTest, EveryButtonIsOnThePanelOrInItsOverflowMenu) {
    QToolButton* more = panel->OverflowButton();
    for (const int width : {1290, 765, 400}) {
        SCOPED_TRACE(width);
        panel->resize(width, 190);
        emit more->menu()->aboutToShow();
        std::map<int, QAction*> inMenu;
        for (QAction* action : more->menu()->actions()) inMenu[action->data().toInt()] = action;
        EXPECT_EQ(more->isVisible(), !inMenu.empty());
        if (more->isVisible()) {
            EXPECT_TRUE(panel->rect().contains(more->geometry()));
        }
        for (QToolButton* button : panel->findChildren<QToolButton*>()) {
            if (button == more) continue;
            const int command = button->property("command").toInt();
            ASSERT_EQ(panel->Button(command), button);
            const bool shown = button->isVisible() && panel->rect().contains(button->geometry());
            EXPECT_NE(shown, inMenu.count(command) == 1) << command;
        }
        if (width < 1000) {
            ASSERT_TRUE(inMenu.count(kColleagueRequest));
            inMenu[kColleagueRequest]->trigger();
            EXPECT_EQ(colleague.requests.back().first, kColleagueRequest);
            if (const auto play = inMenu.find(kPlayAll); play != inMenu.end()) {
                EXPECT_FALSE(play->second->isEnabled());  // no clips
            }
        }
    }
}

// The readout's time counts the timeline's 60 frames a second, in minutes, seconds and
// hundredths, and the panel shows it for the current frame as it moves.
TEST_F(TimelinePanelTest, TheCurrentFrameAndItsTimeAreShown) {
    const std::pair<int, QString> cases[] = {
        {0, "0:00.00"},  {1, "0:00.01"},   {59, "0:00.98"},    {60, "0:01.00"},
        {125, "0:02.08"}, {3599, "0:59.98"}, {3600, "1:00.00"}, {17999, "4:59.98"},
    };
    for (const auto& [frame, time] : cases) {
        EXPECT_EQ(FrameAndTime("Frame", frame),
                  QString("Frame %1 \u00B7 %2").arg(frame).arg(time));
        panel->SetCurrentFrame(frame);
        bool shown = false;
        for (QLabel* label : panel->findChildren<QLabel*>()) {
            shown |= !label->isHidden() &&
                     label->text() == FrameAndTime(panel->Text(strings::kFrameWord), frame);
        }
        EXPECT_TRUE(shown) << frame;
    }
}

TEST_F(TimelinePanelTest, EnterTwiceStartsAndStopsKeepingTheFrame) {
    AddClip(100, 0);
    panel->SetCurrentFrame(10);
    Key(Qt::Key_Enter);
    EXPECT_TRUE(panel->PlayAllTimer().IsRunning());
    // The first tick comes when frame 11 is due.
    EXPECT_EQ(panel->PlayAllTimer().Interval(), 17);
    Tick(50);  // three frames are due
    EXPECT_EQ(panel->CurrentFrame(), 13);
    EXPECT_EQ(colleague.samples.back().frame, 13);
    Tick(10);  // less than a frame: nothing moves
    EXPECT_EQ(panel->CurrentFrame(), 13);
    EXPECT_EQ(panel->PlayAllTimer().Interval(), 7);  // frame 14 is due 66.7 ms after the start
    Key(Qt::Key_Return);
    EXPECT_FALSE(panel->IsPlaying());
    EXPECT_FALSE(panel->PlayAllTimer().IsRunning());
    EXPECT_EQ(panel->CurrentFrame(), 13);
}

TEST_F(TimelinePanelTest, PlaybackPastTheEndReturnsToZeroUnlessLooping) {
    AddClip(30, 0);
    panel->SetCurrentFrame(25);
    panel->PlayAll();
    Tick(100);  // six frames: past frame 29
    EXPECT_FALSE(panel->IsPlaying());
    EXPECT_EQ(panel->CurrentFrame(), 0);
    EXPECT_EQ(colleague.samples.back().frame, 0);

    panel->RunCommand(kLoop);
    EXPECT_TRUE(panel->Button(kLoop)->isChecked());
    sound.Load("x.wav");
    panel->SetCurrentFrame(25);
    panel->PlayAll();
    EXPECT_EQ(sound.playedFrom.back(), 416);  // 25 frames of 16.67 ms
    Tick(100);
    EXPECT_TRUE(panel->IsPlaying());
    EXPECT_EQ(panel->CurrentFrame(), 1);
    EXPECT_EQ(sound.playedFrom.back(), 16);  // the sound restarts with the picture
}

TEST_F(TimelinePanelTest, PlaybackEndsWhenItsLastClipIsDeleted) {
    sound.Load("x.wav");
    for (const bool range : {false, true}) {
        for (const bool loop : {false, true}) {
            SCOPED_TRACE(std::string(range ? "range" : "all") + (loop ? ", looping" : ""));
            if (panel->IsLooping() != loop) panel->RunCommand(kLoop);
            AddClip(30, 10);
            AddClip(5, 50);
            range ? panel->PlayRange() : panel->PlayAll();
            Tick(50);
            ASSERT_TRUE(panel->IsPlaying());
            for (const int position : {0, 0}) {
                Model().Select(position);
                Key(Qt::Key_Delete);
            }
            EXPECT_FALSE(panel->IsPlaying());
            EXPECT_FALSE(sound.IsPlaying());
            EXPECT_FALSE(panel->PlayAllTimer().IsRunning() || panel->PlayRangeTimer().IsRunning());
            EXPECT_EQ(colleague.playing.back(), false);
            EXPECT_TRUE(panel->IsCommandEnabled(kAddMotion));
        }
    }
}

// A device that takes 50 ms to be heard and ticks that come late: after every tick the frame
// shown is the one being heard, across the loop's wraps too, which move the sound on its open
// device.
TEST_F(TimelinePanelTest, ThePictureKeepsToTheSoundHeard) {
    AddClip(300, 0);
    sound.Load("x.wav");
    sound.clock = &now;
    sound.latency = 50;
    panel->RunCommand(kLoop);
    panel->SetCurrentFrame(100);
    panel->PlayAll();
    for (int tick = 0; tick < 300; ++tick) {
        Tick(33 + tick % 5);
        const double apart = sound.PositionMs() - panel->CurrentFrame() * 1000.0 / 60;
        // Within half a frame either way, counted in the sound's whole milliseconds.
        ASSERT_LE(std::abs(apart), 1000.0 / 120 + 1) << "tick " << tick;
    }
    EXPECT_EQ(sound.playedFrom, std::vector<int>{1666});
    EXPECT_GE(sound.seeks.size(), 2u);
}

TEST_F(TimelinePanelTest, SpacePlaysTheMarkedRangeFromItsStart) {
    AddClip(100, 0);
    Model().SetInMark(40);
    Model().SetOutMark(45);
    panel->RunCommand(kLoop);
    Key(Qt::Key_Space);
    EXPECT_TRUE(panel->PlayRangeTimer().IsRunning());
    EXPECT_FALSE(panel->PlayAllTimer().IsRunning());
    EXPECT_EQ(panel->CurrentFrame(), 40);
    Tick(100);  // 46 wraps to 40
    EXPECT_EQ(panel->CurrentFrame(), 40);
    Tick(34);
    EXPECT_EQ(panel->CurrentFrame(), 42);
    Key(Qt::Key_Space);
    EXPECT_FALSE(panel->IsPlaying());
}

TEST_F(TimelinePanelTest, MovementKeysWorkOnlyWhileStopped) {
    AddClip(30, 0);
    AddClip(20, 50);
    AddClip(10, 100);
    panel->SetCurrentFrame(60);
    Key(Qt::Key_Right);
    EXPECT_EQ(panel->CurrentFrame(), 61);
    Key(Qt::Key_Left);
    Key(Qt::Key_Left);
    EXPECT_EQ(panel->CurrentFrame(), 59);
    Key(Qt::Key_End);
    EXPECT_EQ(panel->CurrentFrame(), 109);
    Key(Qt::Key_Home);
    EXPECT_EQ(panel->CurrentFrame(), 0);
    Model().Select(Model().PositionOfClipAt(50));
    Key(Qt::Key_PageUp);
    EXPECT_EQ(Model().SelectedClip()->firstFrame, 0);
    EXPECT_EQ(panel->CurrentFrame(), 0);
    Key(Qt::Key_PageUp);  // no clip before the first: nothing moves
    EXPECT_EQ(Model().SelectedClip()->firstFrame, 0);
    Key(Qt::Key_PageDown);
    Key(Qt::Key_PageDown);
    EXPECT_EQ(panel->CurrentFrame(), 100);
    Key(Qt::Key_PageDown);  // no clip after the last: the selection stays
    ASSERT_NE(Model().SelectedClip(), nullptr);
    EXPECT_EQ(Model().SelectedClip()->firstFrame, 100);
    panel->PlayAll();
    Key(Qt::Key_Home);
    Key(Qt::Key_Left);
    EXPECT_EQ(panel->CurrentFrame(), 100);
    panel->Stop();
    Key(Qt::Key_Delete);
    EXPECT_EQ(Ranges(), (std::vector<Range>{{0, 29}, {50, 69}}));
}

TEST_F(TimelinePanelTest, ZoomStepsStopAtTheTableEndsAndWaitInOverview) {
    EXPECT_EQ(Mapping().PixelsPerFrame(), 6);
    Key(Qt::Key_Plus);
    EXPECT_EQ(Mapping().PixelsPerFrame(), 8);
    for (int i = 0; i < 8; ++i) Key(Qt::Key_Plus);
    EXPECT_EQ(Mapping().PixelsPerFrame(), 12);
    panel->Zoom(CTimelinePanel::kZoomWrap);
    EXPECT_EQ(Mapping().PixelsPerFrame(), 1);
    panel->Zoom(CTimelinePanel::kZoomStepOut);
    EXPECT_EQ(Mapping().PixelsPerFrame(), 1);
    panel->RunCommand(kZoomReset);
    EXPECT_EQ(Mapping().PixelsPerFrame(), 6);
    panel->RunCommand(kOverview);
    EXPECT_TRUE(panel->IsOverview());
    Key(Qt::Key_Minus);
    EXPECT_EQ(Mapping().PixelsPerFrame(), 6);
}

TEST_F(TimelinePanelTest, TheColleagueGetsEveryFrameAndTheStillPoseNotice) {
    AddClip(30, 0);
    AddClip(1, 40);  // a still pose
    colleague.samples.clear();
    EXPECT_FALSE(panel->SetCurrentFrame(18000));
    EXPECT_FALSE(panel->SetCurrentFrame(-1));
    EXPECT_TRUE(colleague.samples.empty());
    ASSERT_TRUE(panel->SetCurrentFrame(10));
    EXPECT_EQ(colleague.samples.back(), Model().GetFrameSample(10));
    EXPECT_EQ(colleague.samples.back().localA, 10);
    Model().Select(Model().PositionOfClipAt(40));
    panel->SetCurrentFrame(40);
    EXPECT_TRUE(colleague.still.back());
    panel->PlayAll();
    EXPECT_FALSE(colleague.still.back());
    panel->Stop();
    EXPECT_TRUE(colleague.still.back());
    panel->SetCurrentFrame(41);
    EXPECT_FALSE(colleague.still.back());
}

TEST_F(TimelinePanelTest, DraggingOnTheRulerScrubsTheSoundWhileStopped) {
    AddClip(60, 0);
    sound.Load("x.wav");
    CFrameRuler& ruler = panel->Ruler();
    Press(ruler, At(5, 10));
    MoveHeld(ruler, At(9, 10));
    Release(ruler, At(9, 10));
    EXPECT_EQ(panel->CurrentFrame(), 9);
    EXPECT_EQ(sound.scrubbed, (std::vector<int>{5, 9}));
    EXPECT_EQ(colleague.samples.back().frame, 9);
}

// The time slider is a scroll bar: its thumb is drawn where a press finds it, dragging it
// to either end scrolls to that end, and a press beside it brings its middle there.
TEST_F(TimelinePanelTest, TheTimeSliderScrollsAsAScrollBar) {
    panel->resize(1200, 200);
    CTimeSlider& slider = panel->Slider();
    const int y = slider.height() / 2;
    const auto thumbMiddle = [&] {
        const auto [x, w] = slider.Thumb(slider.width());
        return x + w / 2;
    };
    const QImage before = slider.RenderImage().copy();
    const int far = slider.width() - 1;
    Press(slider, QPoint(thumbMiddle(), y));
    MoveHeld(slider, QPoint(far, y));
    Release(slider, QPoint(far, y));
    EXPECT_EQ(Mapping().Scroll(), Mapping().MaxScroll());
    // What is drawn at the thumb's place moved with it.
    EXPECT_NE(slider.RenderImage().copy(), before);
    Press(slider, QPoint(thumbMiddle(), y));
    MoveHeld(slider, QPoint(0, y));
    Release(slider, QPoint(0, y));
    EXPECT_EQ(Mapping().Scroll(), 0);
    Press(slider, QPoint(slider.width() / 2, y));
    Release(slider, QPoint(slider.width() / 2, y));
    EXPECT_NEAR(thumbMiddle(), slider.width() / 2, 2);
    EXPECT_GT(Mapping().Scroll(), 0);
}

TEST_F(TimelinePanelTest, LayoutStacksTheRowsAndCollapsingHidesMediaAndSound) {
    panel->resize(1200, 200);
    EXPECT_EQ(Grid().geometry().top(), 34);
    EXPECT_EQ(Grid().height(), 48);
    EXPECT_EQ(panel->MediaTrack().geometry().top(), 34 + 48 + 1);
    EXPECT_EQ(panel->SoundTrack().height(), 26);
    const int rulerTop = panel->Ruler().geometry().top();
    EXPECT_EQ(rulerTop, 34 + 48 + 1 + 24 + 1 + 26 + 1);
    panel->RunCommand(kCollapse);
    EXPECT_TRUE(panel->IsCollapsed());
    EXPECT_TRUE(panel->MediaTrack().isHidden());
    EXPECT_TRUE(panel->SoundTrack().isHidden());
    // The motion track takes the hidden rows' room: the rows below stay where they were and
    // its clips grow taller, so that a press low on the track still finds a clip.
    EXPECT_EQ(panel->Ruler().geometry().top(), rulerTop);
    EXPECT_EQ(Grid().geometry().bottom() + 1, rulerTop - 1);
    AddClip(30, 0);
    Model().Select(-1);
    const QImage& tall = Grid().RenderImage();
    EXPECT_EQ(tall.pixelColor(Mapping().XOf(10) + 1, rulerTop - 34 - 12), colours::kClip);
    Press(Grid(), QPoint(Mapping().XOf(10) + 1, rulerTop - 34 - 12));
    Release(Grid(), QPoint(Mapping().XOf(10) + 1, rulerTop - 34 - 12));
    EXPECT_EQ(Model().SelectedPosition(), 0);
    panel->RunCommand(kCollapse);
    EXPECT_EQ(panel->Ruler().geometry().top(), rulerTop);
    EXPECT_EQ(Grid().height(), 48);
    EXPECT_EQ(Mapping().Width(), Grid().width());
}

TEST_F(TimelinePanelTest, AddingAVideoIsRefusedOverMediaAndWhenUnreadable) {
    const std::string video = root.Write("user/clip.avi", "not really a video");
    probe.frames["clip.avi"] = 40;
    dialogs.answers.push_back({video});
    panel->SetCurrentFrame(10);
    panel->RunCommand(kAddVideo);
    ASSERT_EQ(Model().Project().mediaClips.Count(), 1);
    EXPECT_EQ(Media().back().lastFrame, 49);
    // The current frame on that clip: refused before a file is asked for.
    panel->SetCurrentFrame(20);
    panel->RunCommand(kAddVideo);
    EXPECT_EQ(dialogs.asked.size(), 1u);
    EXPECT_EQ(dialogs.messages.back(), panel->Text(61308).toStdString());
    // A video that cannot be read.
    panel->SetCurrentFrame(100);
    dialogs.answers.push_back({root.Write("user/broken.avi", "")});
    panel->RunCommand(kAddVideo);
    ExpectToldAbout(61278, "broken.avi");
    EXPECT_EQ(Model().Project().mediaClips.Count(), 1);
    // Dragged along its track, the video moves as one undoable edit.
    const int undo = Model().UndoCount();
    Drag(panel->MediaTrack(), At(20, 12), At(60, 12));
    EXPECT_EQ(Media().front().firstFrame, 50);
    EXPECT_EQ(Model().UndoCount(), undo + 1);
}

TEST_F(TimelinePanelTest, PicturesFollowOneAnotherAndBadNamesAreRefused) {
    dialogs.answers.push_back({root.Write("user/a.jpg", "a"), root.Write("user/b.jpg", "b")});
    panel->SetCurrentFrame(5);
    panel->RunCommand(kAddImages);
    ASSERT_EQ(Model().Project().mediaClips.Count(), 2);
    EXPECT_EQ(Media().front().firstFrame, 5);
    EXPECT_EQ(Media().back().firstFrame, 6);
    panel->SetCurrentFrame(50);
    dialogs.answers.push_back({root.Write("user/bad;name.jpg", "c")});
    panel->RunCommand(kAddImages);
    EXPECT_EQ(dialogs.messages.back(), panel->Text(61329).toStdString());
    dialogs.answers.push_back({root.Path() + "/" + std::string(260, 'x') + ".jpg"});
    panel->RunCommand(kAddImages);
    EXPECT_EQ(dialogs.messages.back(), panel->Text(61356).toStdString());
    std::filesystem::create_directories(root / "user/folder.jpg");  // cannot be copied
    dialogs.answers.push_back({root / "user/folder.jpg"});
    panel->RunCommand(kAddImages);
    ExpectToldAbout(61321, "folder.jpg");
    EXPECT_EQ(Model().Project().mediaClips.Count(), 2);
    EXPECT_EQ(Model().UndoCount(), 2);  // the refused pictures left no record
    // Refused while the whole timeline is shown: no file is asked for.
    panel->RunCommand(kOverview);
    const size_t asked = dialogs.asked.size();
    panel->RunCommand(kAddImages);
    EXPECT_EQ(dialogs.asked.size(), asked);
}

TEST_F(TimelinePanelTest, ASoundIsLoadedAndAWrongFileKeepsTheOldOne) {
    dialogs.answers.push_back({root.Write("user/voice.wav", Wave(8000 * 2))});  // 2 s
    panel->RunCommand(kLoadSound);
    ASSERT_FALSE(Model().Project().soundFile.empty());
    EXPECT_TRUE(sound.IsLoaded());
    EXPECT_EQ(panel->Wave().FrameCount(), 120);
    EXPECT_EQ(CSoundTrack::SecondMarkSpacing(panel->Wave().Seconds()), 60);
    const std::string loaded = Model().Project().soundFile;
    dialogs.answers.push_back({root.Write("user/fake.wav", "RIFX....WAVE")});
    panel->RunCommand(kLoadSound);
    ExpectToldAbout(61348, "fake.wav");
    EXPECT_EQ(Model().Project().soundFile, loaded);
    EXPECT_TRUE(sound.IsLoaded());
    // Delete with nothing selected removes the sound; the player lets go of it.
    Key(Qt::Key_Delete);
    EXPECT_TRUE(Model().Project().soundFile.empty());
    EXPECT_FALSE(sound.IsLoaded());
    EXPECT_FALSE(panel->Wave().IsLoaded());
}

// The working folder keeps the sound under its own name: a new project's sound of the same
// name lands on the same path, and must still be read again.
TEST_F(TimelinePanelTest, ANewProjectsSoundOfTheSameNameIsReadAgain) {
    dialogs.answers.push_back({root.Write("user/voice.wav", Wave(8000 * 2))});
    panel->RunCommand(kLoadSound);
    ASSERT_EQ(panel->Wave().FrameCount(), 120);
    const std::string path = Model().Project().soundFile;
    const size_t loads = sound.loaded.size();
    Model().NewProject(CTimelineProject());
    ASSERT_TRUE(Model().SetSoundFile(root.Write("other/voice.wav", Wave(8000))).done);
    ASSERT_EQ(Model().Project().soundFile, path);
    panel->ProjectReplaced();
    EXPECT_EQ(panel->Wave().FrameCount(), 60);
    EXPECT_EQ(sound.loaded.size(), loads + 1);
    // A project without a sound lets go of it.
    Model().NewProject(CTimelineProject());
    panel->ProjectReplaced();
    EXPECT_FALSE(panel->Wave().IsLoaded());
    EXPECT_FALSE(sound.IsLoaded());
}

TEST_F(TimelinePanelTest, CommandsReachTheModelAndTheColleague) {
    dialogs.answers.push_back({UserFile("walk.cha", 30)});
    panel->SetCurrentFrame(20);
    panel->RunCommand(kAddMotion);
    EXPECT_EQ(Ranges(), (std::vector<Range>{{20, 49}}));
    EXPECT_EQ(dialogs.asked.back(), FileKind::kMotion);
    panel->SetCurrentFrame(30);
    panel->RunCommand(kSplit);
    EXPECT_EQ(Ranges(), (std::vector<Range>{{20, 29}, {30, 49}}));
    Model().SetInMark(25);
    Model().SetOutMark(40);
    panel->RunCommand(kCrop);
    EXPECT_EQ(Ranges(), (std::vector<Range>{{25, 29}, {30, 40}}));
    panel->RunCommand(kColleagueRequest);
    ASSERT_EQ(colleague.requests.size(), 1u);
    EXPECT_EQ(colleague.requests[0].first, kColleagueRequest);
    panel->RunCommand(kVolume);
    EXPECT_EQ(dialogs.volume, 1);
    EXPECT_TRUE(dialogs.messages.empty());
    dialogs.haveMixer = false;  // no mixer program: the user is told so
    panel->RunCommand(kVolume);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_NE(dialogs.messages[0].find("mixer"), std::string::npos) << dialogs.messages[0];
    panel->SetCurrentFrame(200);
    panel->RunCommand(kAddCurrentPose);
    EXPECT_EQ(Ranges().back(), Range(200, 200));
    Model().Undo();
    EXPECT_EQ(Ranges().size(), 2u);
}

TEST_F(TimelinePanelTest, TheViewHandsItsKeysToThePanel) {
    CTimelinePanel::Services services;
    services.dialogs = &dialogs;
    auto second = std::make_unique<CTimelineModel>(motion, decisions, *workingDirectory);
    second->NewProject(CTimelineProject());
    CTimeLineView view(std::move(second), services);
    view.resize(900, 190);
    view.show();
    EXPECT_EQ(view.Panel().width(), 900);
    view.Panel().Model().SetCurrentFrame(0);
    ASSERT_TRUE(view.Panel().Model().AddMotionFile(UserFile("v.cha", 10)).done);
    QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
    QApplication::sendEvent(&view, &right);
    EXPECT_EQ(view.Panel().CurrentFrame(), 1);
}

}  // namespace
}  // namespace tavrel::testing

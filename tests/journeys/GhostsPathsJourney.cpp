// A user turns ghosts on from the View menu by its keys and sees faint avatars before and after
// the walking one, which step with the frame; turns motion paths on, lays a run after the walk
// and sees the paths reach on over it. Both are kept for the next start.
#include "RKWindow/RKWindow.h"
#include "app/CommandIds.h"
#include "tests/journeys/JourneyFixture.h"

namespace tavrel::journeys {
namespace {

class GhostsPathsJourney : public JourneyFixture {
protected:
    QAction* Item(int id) const {
        for (QAction* action : Frame()->findChildren<QAction*>())
            if (action->data().toInt() == id) return action;
        return nullptr;
    }
    // Opens the View menu with Alt+V and picks an item by its mnemonic, as a user does.
    void ChooseInViewMenu(Qt::Key mnemonic) {
        Key(Qt::Key_V, Qt::AltModifier);
        ASSERT_TRUE(WaitUntil([] {
            return qobject_cast<QMenu*>(QApplication::activePopupWidget());
        })) << "the View menu did not open";
        QTest::keyClick(QApplication::activePopupWidget()->windowHandle(), mnemonic);
        ASSERT_TRUE(WaitUntil([] { return !QApplication::activePopupWidget(); }));
    }
    // Pixels of b that a ghost's colour tinted, bluish (past) or amber (future), against a.
    static std::pair<int, int> Tinted(const QImage& a, const QImage& b) {
        int bluish = 0, amber = 0;
        for (int y = 0; y < a.height(); ++y) {
            for (int x = 0; x < a.width(); ++x) {
                const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
                const int warmer = (qRed(q) - qBlue(q)) - (qRed(p) - qBlue(p));
                bluish += warmer<-25, amber += warmer> 25;
            }
        }
        return {bluish, amber};
    }
    CRKWindow& Window3D() const { return *View3D()->Window(); }
};

TEST_F(GhostsPathsJourney, GhostsStepWithTheFrameAndPathsFollowAnEdit) {
    ASSERT_NE(View3D(), nullptr);
    ASSERT_TRUE(ShowFolder(Library() / "Locomotion"));
    ASSERT_TRUE(DropAndWait("walk.cha", 0));
    const int walkEnd = Model().LastFrame();
    Panel().SetCurrentFrame(60);
    Key(Qt::Key_3, Qt::ControlModifier);  // from the side, where the walk's ghosts spread out
    const QImage plain = Next3DPicture();
    EXPECT_FALSE(Item(command::kGhosts)->isChecked()) << "ghosts are off at first";

    ChooseInViewMenu(Qt::Key_G);
    ASSERT_TRUE(WaitUntil([&] { return Item(command::kGhosts)->isChecked(); }));
    const QImage ghosts = Next3DPicture();
    const auto [bluish, amber] = Tinted(plain, ghosts);
    EXPECT_GT(bluish, 300) << "faint avatars of the frames before";
    EXPECT_GT(amber, 300) << "faint avatars of the frames after";
    const GhostSettings settings = Mediator()->Window3D()->Ghosts();
    EXPECT_EQ(int(Window3D().Ghosts().Frames().size()), 2 * settings.count);

    // A frame on: the ghosts step with it.
    Key(Qt::Key_Right);
    ASSERT_TRUE(WaitUntil([&] { return Panel().CurrentFrame() == 61; }));
    EXPECT_EQ(Window3D().Ghosts().Frames().front(), 61 - settings.step);
    const QImage stepped = Next3DPicture();
    EXPECT_GT(Difference(ghosts, stepped), 0.0);

    ChooseInViewMenu(Qt::Key_P);
    ASSERT_TRUE(WaitUntil([&] { return Item(command::kMotionPaths)->isChecked(); }));
    const QImage withPaths = Next3DPicture();
    EXPECT_GT(Difference(stepped, withPaths), 0.001) << "the paths are drawn";
    ASSERT_FALSE(Window3D().Paths().Paths().empty());
    EXPECT_EQ(Window3D().Paths().Paths()[0].Last(), walkEnd);

    // A run laid after the walk: the paths reach on to the timeline's new end.
    ASSERT_TRUE(DropAndWait("run.chb", walkEnd + 1));
    ASSERT_GT(Model().LastFrame(), walkEnd);
    ASSERT_TRUE(WaitUntil([&] {
        return !Window3D().Paths().Paths().empty() &&
               Window3D().Paths().Paths()[0].Last() == Model().LastFrame();
    }));
    EXPECT_GT(Difference(withPaths, Next3DPicture()), 0.0);

    // Kept for the next start (after an end without a close, which offers the work kept).
    AnswerNextMessage(QMessageBox::No);
    ASSERT_TRUE(RestartWithoutClose());
    EXPECT_TRUE(Item(command::kGhosts)->isChecked());
    EXPECT_TRUE(Item(command::kMotionPaths)->isChecked());
}

// The number of ghosts is chosen from its sub-menu by keys: Alt+V, C, then the digit.
TEST_F(GhostsPathsJourney, TheGhostCountIsChosenInItsSubMenu) {
    Key(Qt::Key_V, Qt::AltModifier);
    ASSERT_TRUE(WaitUntil([] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); }));
    QMenu* view = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    QTest::keyClick(view->windowHandle(), Qt::Key_C);
    ASSERT_TRUE(WaitUntil([view] { return QApplication::activePopupWidget() != view; }))
        << "the Ghost Count menu did not open";
    QTest::keyClick(QApplication::activePopupWidget()->windowHandle(), Qt::Key_6);
    ASSERT_TRUE(WaitUntil([] { return !QApplication::activePopupWidget(); }));
    EXPECT_EQ(Mediator()->Window3D()->Ghosts().count, 6);
    EXPECT_TRUE(Mediator()->Window3D()->Ghosts().shown) << "choosing a count shows the ghosts";
    EXPECT_TRUE(Item(command::kGhostCountFirst + 5)->isChecked());
    EXPECT_FALSE(Item(command::kGhostCountFirst + 3)->isChecked());
}

}  // namespace
}  // namespace tavrel::journeys

// A user exports the video of a walk from the File menu: the written video shows the avatar
// in every tenth frame, on the 3D window's background, and the editor names the file.
#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <fstream>

#include "RKWindow/RKSystem.h"
#include "app/VideoExportDialog.h"
#include "media/RAvi.h"
#include "motion/AnimFileFactory.h"
#include "motion/Chtr.h"
#include "tests/journeys/JourneyFixture.h"
#include "uikit/UiText.h"

namespace tavrel::journeys {
namespace {

constexpr int kFrames = 120;

// A walk of the standard skeleton whose root goes far beyond a still camera's picture.
void WriteWalk(const std::string& path) {
    auto record = CreateAnimFile(nullptr, kTypeCHB, 1);
    CHTR pose(rkCloneNode(record->GetFrame(0)));
    const float x0 = pose.GetRoot()->local.m[12];
    for (int k = 0; k < kFrames; ++k) {
        pose.GetRoot()->local.m[12] = x0 + 25.0f * k;
        record->SetFrame(pose.GetRoot(), k);
    }
    record->WriteAs(path.c_str(), 1);
}

int ShirtPixels(const CAviFrame& frame) {
    int count = 0;
    for (int y = 0; y < frame.height; ++y) {
        const uint8_t* row = frame.rgb.data() + size_t(y) * frame.stride;
        for (int x = 0; x < frame.width; ++x)
            count += row[3 * x + 2] > row[3 * x] + 60 && row[3 * x + 2] > row[3 * x + 1] + 30;
    }
    return count;
}

// The walk, opened from the desktop as the editor starts.
class ExportVideoJourney : public JourneyFixture {
protected:
    void SetUp() override {
        fs::create_directories(Home() / "work");
        WriteWalk(Home() / "work/walk.chb");
        std::ofstream(Home() / "work/walk.tvp")
            << "D,walk\n1\nM,0,119,0,0,0,0,walk.chb,0,119,0,0,0,*\n0\nS,none\nI,0\n";
        OpenAtStart(Home() / "work/walk.tvp");
        JourneyFixture::SetUp();
    }

    // Chooses a File menu item as a user does by keys: the menu opened by its mnemonic, then
    // the item's own.
    void ChooseFileMenuItem(QAction* item, Qt::Key mnemonic) {
        Key(Qt::Key_F, Qt::AltModifier);
        ASSERT_TRUE(WaitUntil([] {
            return qobject_cast<QMenu*>(QApplication::activePopupWidget());
        })) << "the File menu did not open";
        ASSERT_TRUE(
            qobject_cast<QMenu*>(QApplication::activePopupWidget())->actions().contains(item));
        Key(mnemonic);
    }
};

TEST_F(ExportVideoJourney, TheWrittenVideoShowsTheWalkingAvatarInEveryTenthFrame) {
    QAction* exportVideo = Frame()->Action(command::kExportVideo);
    ASSERT_TRUE(WaitUntil([exportVideo] { return exportVideo->isEnabled(); }))
        << "the walk was not opened";

    std::vector<Message> messages;
    const ui::MessageSink previous =
        ui::SetMessageSink([&](const Message& m) { messages.push_back(m); });
    const std::string out = Home() / "walk.mp4";
    FileCommands()->askPath = [&](int, const QString&, const QString&) {
        return QString::fromStdString(out);
    };
    // The size and camera dialog, answered by keys: a smaller picture, the 3D window's camera.
    bool dialogSeen = false;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<CVideoExportDialog*>(QApplication::activeModalWidget());
        if (!dialog || dialogSeen) return;
        dialogSeen = true;
        EXPECT_EQ(dialog->Choice().camera, -1);
        dialog->Sizes()->setFocus();
        QTest::keyClick(dialog->windowHandle(), Qt::Key_Up);  // from 1280 x 720 to 640 x 360
        QTest::keyClick(dialog->windowHandle(), Qt::Key_Return);
    });
    answer.start(20);
    ChooseFileMenuItem(exportVideo, Qt::Key_V);
    WaitUntil([&] { return !messages.empty(); });
    answer.stop();
    ui::SetMessageSink(previous);

    EXPECT_TRUE(dialogSeen);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(ui::MessageText(messages[0]).toStdString(), "The video was written to " + out + ".");
    CRAvi video;
    ASSERT_TRUE(video.Load(out));
    EXPECT_EQ(video.GetWidth(), 640);
    for (int f = 0; f < kFrames; f += 10) {
        const CAviFrame* frame = video.FrameAt((f * 1000 + 500) / 60);
        ASSERT_NE(frame, nullptr) << f;
        EXPECT_GT(ShirtPixels(*frame), 100) << "frame " << f;
        // Its top left corner is the 3D window's background (within the encoder's rounding).
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(frame->rgb.data()[c], kViewBackground[c], 6) << f;
    }
}

}  // namespace
}  // namespace tavrel::journeys

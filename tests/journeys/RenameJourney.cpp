// F2 on a motion in the assembled editor: the name's field opens with the name before the
// extension selected, so that a new name typed over it keeps the file a motion the gallery
// shows; a new extension that the gallery does not list asks first.
#include <QLineEdit>

#include "tests/journeys/JourneyFixture.h"

namespace tavrel::journeys {
namespace {

class RenameJourney : public JourneyFixture {
protected:
    void SetUp() override {
        JourneyFixture::SetUp();
        ASSERT_TRUE(ShowFolder(Library() / "Locomotion"));
    }
    // F2 on a motion's thumbnail; the open field's selection, once it shows.
    QString StartRename(const fs::path& file) {
        Click(Thumbnails()->viewport(), ThumbnailOf(file));
        Key(Qt::Key_F2);
        QLineEdit* field = nullptr;
        WaitUntil([&] { return (field = OpenField()) != nullptr; });
        return field ? field->selectedText() : QString();
    }
    QLineEdit* OpenField() const {
        for (QLineEdit* field : Thumbnails()->viewport()->findChildren<QLineEdit*>()) {
            if (field->isVisible()) return field;
        }
        return nullptr;
    }
    fs::path In(const std::string& name) const { return Library() / "Locomotion" / name; }
};

TEST_F(RenameJourney, ANameTypedOverTheSelectionKeepsTheExtensionAndAnUnlistedOneAsks) {
    EXPECT_EQ(StartRename(In("walk.cha")), "walk");
    Type("stroll");
    Key(Qt::Key_Return);
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(In("stroll.cha")); }));
    EXPECT_FALSE(fs::exists(In("walk.cha")));
    EXPECT_FALSE(fs::exists(In("stroll")));
    ASSERT_TRUE(WaitUntil([&] { return !ThumbnailOf(In("stroll.cha")).isNull(); }))
        << "still in the gallery";

    // All of it typed over, without an extension: the old one stays.
    StartRename(In("stroll.cha"));
    Key(Qt::Key_A, Qt::ControlModifier);
    Type("amble");
    Key(Qt::Key_Return);
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(In("amble.cha")); }));

    // An extension the gallery does not list: No keeps the file and the field open, Yes
    // renames it, and it leaves the gallery as the question said.
    for (const auto answer : {QMessageBox::No, QMessageBox::Yes}) {
        SCOPED_TRACE(answer == QMessageBox::Yes ? "yes" : "no");
        ASSERT_TRUE(WaitUntil([&] { return !ThumbnailOf(In("amble.cha")).isNull(); }));
        if (answer == QMessageBox::No) StartRename(In("amble.cha"));
        Key(Qt::Key_A, Qt::ControlModifier);
        Type("amble.txt");
        auto asked = AnswerNextMessage(answer);
        Key(Qt::Key_Return);
        ASSERT_TRUE(WaitUntil([&] { return !asked->isEmpty(); }));
        EXPECT_TRUE(asked->contains("amble.txt")) << asked->toStdString();
        if (answer == QMessageBox::No) {
            EXPECT_TRUE(WaitUntil([&] { return OpenField() != nullptr; })) << "typed again";
            EXPECT_TRUE(fs::exists(In("amble.cha")));
        }
    }
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(In("amble.txt")); }));
    EXPECT_FALSE(fs::exists(In("amble.cha")));
    EXPECT_TRUE(WaitUntil([&] { return ThumbnailOf(In("amble.txt")).isNull(); }));
    EXPECT_EQ(Model().Project().motionClips.Count(), 0) << "no key reached the timeline";
}

}  // namespace
}  // namespace tavrel::journeys

#pragma once
// The assembled editor as a user meets it, for journeys through several of its parts: the real
// main window, mediator and colleagues with the timeline, gallery and 3D window that start-up
// makes, over a fresh data folder filled with the sample library. Input goes in as the window
// system's events (keys into the focused window, so that shortcuts and focus route them as they
// route a user's; mouse presses, moves and drags on the windows), and a journey looks at the
// timeline's model, the files on disk and the 3D window's picture.
//
// Needs an X server (xvfb-run -a): the 3D window draws through GL.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QImage>
#include <QInputDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "RKWindow/ui/C3DWindowView.h"
#include "app/EditorWindows.h"
#include "app/ProjectFileCommands.h"
#include "app/TavrelApp.h"
#include "app/TavrelMainFrame.h"
#include "app/TavrelMediator.h"
#include "app/TimelineHost.h"
#include "browse/FileTreeCtrl.h"
#include "browse/ThumbnailCtrl.h"
#include "tests/support/EditorStartOptions.h"
#include "tests/support/TempFolder.h"
#include "timeline/TimelineModel.h"
#include "timeline/ui/ObjectGrid.h"
#include "timeline/ui/TimelinePanel.h"

namespace tavrel::journeys {

namespace fs = std::filesystem;

// Links and documents would start other programs: a journey takes them here instead.
class UrlSink : public QObject {
    Q_OBJECT
public slots:
    void open(const QUrl& url) { opened.push_back(url); }

public:
    std::vector<QUrl> opened;
};

class JourneyFixture : public ::testing::Test {
protected:
    static constexpr int kWait = 10000;  // ms: the longest any step may take before it fails

    void SetUp() override {
        UseFreshSettings();
        ASSERT_TRUE(StartEditor());
    }
    // Qt reads the settings folder once per process: journeys share it, each starts empty.
    static void UseFreshSettings() {
        static tavrel::testing::TempFolder config;
        ::setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);
        QSettings("Corvane", "Tavrel").clear();
    }
    // The editor's data, settings and temporary folders below this folder instead of a fresh
    // one (an editor in another process that shares them).
    void UseHome(const fs::path& home) { givenHome_ = home; }
    void TearDown() override {
        // A question left unasked is not answered in the next journey.
        for (const auto& poll : pollers_)
            QObject::disconnect(poll.get(), nullptr, nullptr, nullptr);
        pollers_.clear();
        for (const char* scheme : {"file", "http", "https", "mailto"})
            QDesktopServices::unsetUrlHandler(scheme);
        app_.reset();
        // The next journey's folders are made where this one's were not.
        if (tmp_) {
            ::setenv("TMPDIR", tmp_, 1);
        } else {
            ::unsetenv("TMPDIR");
        }
    }

    // Starts the editor as main() does, over this journey's own data, settings and temporary
    // folders; true once the main window stands and the 3D window has drawn.
    bool StartEditor() {
        fs::create_directories(Home() / "tmp");
        ::setenv("TMPDIR", (Home() / "tmp").c_str(), 1);  // the working folder
        for (const char* scheme : {"file", "http", "https", "mailto"})
            QDesktopServices::setUrlHandler(scheme, &urls_, "open");
        app_ = std::make_unique<CTavrelApp>();
        CStartOptions start = tavrel::testing::EditorStartOptions(Home());
        start.connectWindows = [app = app_.get()](CTavrelMediator* mediator) {
            ConnectEditorWindows(mediator);
            ConnectFileCommands(app->FileCommands(), mediator);
        };
        if (app_->Start(openAtStart_, start) != CTavrelApp::StartResult::Running) return false;
        Frame()->activateWindow();
        if (!QTest::qWaitForWindowExposed(Frame(), kWait)) return false;
        return WaitUntil([this] { return !View3D() || !View3D()->LastFrame().isNull(); });
    }

    // Ends the editor through its close, as the window manager's close button does; true when
    // it closed (a question may keep it open).
    bool CloseEditor() { return Frame()->close(); }
    // The editor ends without its close (killed, or the session ended) and starts again over
    // the same data and settings.
    bool RestartWithoutClose() {
        app_.reset();
        return StartEditor();
    }

    // A file named on the command line, as a user opens one from the desktop: a journey's
    // SetUp names it before it starts the editor.
    void OpenAtStart(const fs::path& file) { openAtStart_ << QString::fromStdString(file); }

    // --- The parts ---
    CTavrelMainFrame* Frame() const { return app_->MainFrame(); }
    CTavrelMediator* Mediator() const { return app_->Mediator(); }
    CProjectFileCommands* FileCommands() const { return app_->FileCommands(); }
    CTimelineHost* Timeline() const {
        return dynamic_cast<CTimelineHost*>(Mediator()->Timeline()->Operations());
    }
    CTimelinePanel& Panel() const { return Timeline()->Panel(); }
    const CTimelineModel& Model() const { return Panel().Model(); }
    int Clips() const { return Model().Project().motionClips.Count(); }
    std::vector<std::pair<int, int>> RangesOfClips() const {
        std::vector<std::pair<int, int>> ranges;
        for (const MotionClip& c : Model().Project().motionClips)
            ranges.emplace_back(c.firstFrame, c.lastFrame);
        return ranges;
    }
    CObjectGrid* MotionTrack() const { return Find<CObjectGrid>(); }
    CThumbnailCtrl* Thumbnails() const { return Find<CThumbnailCtrl>(); }
    CFileTreeCtrl* FolderTree() const { return Find<CFileTreeCtrl>(); }
    // The main window's first widget of a class (also of one that Qt's casts do not know).
    template <class Widget>
    Widget* Find() const {
        for (QWidget* child : Frame()->findChildren<QWidget*>()) {
            if (auto* found = dynamic_cast<Widget*>(child)) return found;
        }
        return nullptr;
    }
    C3DWindowView* View3D() const { return Mediator()->Window3D()->View(); }
    const UrlSink& Urls() const { return urls_; }

    // --- Files ---
    fs::path Home() const { return givenHome_.empty() ? fs::path(home_.Path()) : givenHome_; }
    fs::path Library() const { return Home() / "data/Motion"; }
    fs::path Temporary() const { return Home() / "tmp"; }

    // --- Waiting: the event loop turns until the condition holds (false after kWait) ---
    static bool WaitUntil(const std::function<bool()>& condition, int timeout = kWait) {
        return QTest::qWaitFor(condition, timeout);
    }

    // --- Keys: into the window that has the focus, through the shortcut map ---
    static QWindow* FocusWindow() {
        if (QWindow* window = QGuiApplication::focusWindow()) return window;
        QWidget* active = QApplication::activeWindow();
        return active ? active->windowHandle() : nullptr;
    }
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        if (!FocusWindow()) {  // the display gave the focus away: the user clicks back in
            Frame()->activateWindow();
            WaitUntil([] { return FocusWindow() != nullptr; });
        }
        QWindow* window = FocusWindow();
        ASSERT_NE(window, nullptr) << "no window has the focus";
        QTest::keyClick(window, key, modifiers);
    }

    // Types text a key at a time, as a keyboard does.
    void Type(const std::string& text) {
        for (char c : text) QTest::keyClick(FocusWindow(), c);
    }

    // --- Mouse: events on the window that holds the widget, at a point of the widget ---
    static void Click(QWidget* widget, QPoint at, Qt::MouseButton button = Qt::LeftButton) {
        QWidget* top = widget->window();
        QTest::mouseClick(top->windowHandle(), button, Qt::NoModifier, widget->mapTo(top, at));
    }
    // Presses at `from` in source, moves in steps to `to` in target and lets go there. A drag
    // that the press starts runs its own event loop, and the window system answers its moves
    // on its own time: the later moves and the release are queued first, spaced so that the
    // target has answered before the release.
    // With modifiers, the keys are held over the target until the release (Shift, say).
    static void Drag(QWidget* source, QPoint from, QWidget* target, QPoint to,
                     Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWindow* window = source->window()->windowHandle();
        const QPoint start = source->mapTo(source->window(), from);
        const QPoint end = target->mapTo(target->window(), to);
        QTest::mousePress(window, Qt::LeftButton, Qt::NoModifier, start);
        constexpr int kSteps = 8;
        constexpr int kPace = 40;                // ms between moves
        for (int i = 2; i <= kSteps + 2; ++i) {  // two more moves on the target
            const QPoint at = start + (end - start) * std::min(i, kSteps) / kSteps;
            const Qt::KeyboardModifiers held = i >= kSteps ? modifiers : Qt::NoModifier;
            QTimer::singleShot(kPace * i, window, [window, at, held] {
                QTest::mouseEvent(QTest::MouseMove, window, Qt::NoButton, held, at);
            });
        }
        QTimer::singleShot(kPace * (kSteps + 8), window, [window, end, modifiers] {
            QTest::mouseRelease(window, Qt::LeftButton, modifiers, end);
        });
        // Past the drag distance: the source starts its drag (and returns when it ends).
        QTest::mouseMove(window, start + (end - start) / kSteps);
        WaitUntil([] { return false; }, kPace * (kSteps + 10));
    }

    // --- The gallery ---
    // Rows with a picture (any pixel not masked out); -1 when any row was found unreadable.
    static int PicturesShown(const CThumbnailCtrl& thumbs) {
        int shown = 0;
        for (int row = 0; row < thumbs.count(); ++row) {
            const QListWidgetItem* entry = thumbs.item(row);
            if (entry->data(CThumbnailCtrl::kUnreadableRole).toBool()) return -1;
            const QImage image = entry->icon().pixmap(thumbs.iconSize()).toImage();
            bool drawn = false;
            for (int y = 0; y < image.height() && !drawn; ++y)
                for (int x = 0; x < image.width() && !drawn; ++x) drawn = qAlpha(image.pixel(x, y));
            shown += drawn;
        }
        return shown;
    }
    // Shows a folder of the library by clicking its entry in the folder tree.
    bool ShowFolder(const fs::path& folder) {
        CFileTreeCtrl* tree = FolderTree();
        const QString path = QString::fromStdString(folder.string());
        // Entries are made when their parent opens: the way down is opened first.
        tree->SelectPath(QString::fromStdString(folder.parent_path().string()));
        QTreeWidgetItem* item = tree->FindItem(path);
        if (!item) return false;
        tree->scrollToItem(item);
        Click(tree->viewport(), tree->visualItemRect(item).center());
        return WaitUntil([&] { return Thumbnails()->CurrentFolder() == path; });
    }
    // The point of a file's thumbnail in the thumbnail view (null when it is not listed).
    QPoint ThumbnailOf(const fs::path& file) const {
        QListWidget* list = Thumbnails();
        const auto& entries = Thumbnails()->Entries();
        for (int row = 0; row < list->count() && row < int(entries.size()); ++row) {
            if (fs::path(entries[row]).filename() == file.filename())
                return list->visualItemRect(list->item(row)).center();
        }
        return {};
    }
    // Drags a motion's thumbnail onto the motion track at a frame.
    void DropMotion(const fs::path& file, int frame,
                    Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        const QPoint from = ThumbnailOf(file);
        ASSERT_FALSE(from.isNull()) << file << " is not shown in the gallery";
        CObjectGrid* track = MotionTrack();
        // A frame off the track's shown part is scrolled to first, as a user would.
        if (Panel().Mapping().XOf(frame) + 2 >= track->width()) Panel().SetCurrentFrame(frame);
        const QPoint to(Panel().Mapping().XOf(frame) + 2, track->height() / 2);
        ASSERT_LT(to.x(), track->width()) << "frame " << frame << " is not shown";
        Drag(Thumbnails()->viewport(), from, track, to, modifiers);
    }

    // Drops a motion as DropMotion does and waits for it to lie on the track as one clip more.
    bool DropAndWait(const fs::path& file, int frame,
                     Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        const int before = Clips();
        DropMotion(file, frame, modifiers);
        return WaitUntil([&] { return Clips() == before + 1; });
    }

    // --- Dialogs: the next message box that opens is answered with a button, or a key ---
    // Returns a record of the question's text, filled when it was asked.
    std::shared_ptr<QString> AnswerNextMessage(QMessageBox::StandardButton button) {
        return WhenNextMessageAsks([button](QMessageBox* box) {
            if (!box->button(button)) return false;
            QTimer::singleShot(0, box->button(button), &QAbstractButton::click);
            return true;
        });
    }
    // The key goes into the box's window, to the button that has the focus or the default one.
    std::shared_ptr<QString> AnswerNextMessageByKey(Qt::Key key) {
        return WhenNextMessageAsks([key](QMessageBox* box) {
            QTimer::singleShot(0, box, [box, key] { QTest::keyClick(box->windowHandle(), key); });
            return true;
        });
    }

    // --- File dialogs: the next one gets a path typed into its name field, then Return ---
    // The dialog holds the command that opened it until it closes: it is answered from the
    // loop. Return goes to the window with the focus, as a user's would: the first one may go to
    // the list of names the dialog offers while typing, the next to the dialog. True once typed.
    std::shared_ptr<bool> TypeIntoNextFileDialog(const fs::path& file) {
        auto typed = std::make_shared<bool>(false);
        auto poll = std::make_shared<QTimer>();
        poll->setInterval(200);
        QTimer* timer = poll.get();
        QObject::connect(
            timer, &QTimer::timeout, [this, timer, typed, file, returns = 0]() mutable {
                auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                auto* name = dialog ? dialog->findChild<QLineEdit*>("fileNameEdit") : nullptr;
                if (!name) {
                    if (*typed) timer->stop();  // answered: the next dialog is another's
                    return;
                }
                if (!*typed) {
                    *typed = true;
                    name->selectAll();
                    QTest::keyClicks(name, QString::fromStdString(file.string()));
                } else if (returns++ < 5) {
                    Key(Qt::Key_Return);
                }
            });
        poll->start();
        pollers_.push_back(poll);
        return typed;
    }

    // --- Number questions: the next one gets the number typed over its own, then Return ---
    std::shared_ptr<bool> TypeIntoNextNumberQuestion(int number) {
        auto typed = std::make_shared<bool>(false);
        auto poll = std::make_shared<QTimer>();
        poll->setInterval(50);
        QTimer* timer = poll.get();
        QObject::connect(timer, &QTimer::timeout, [timer, typed, number] {
            auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
            auto* field = dialog ? dialog->findChild<QLineEdit*>() : nullptr;
            if (!field) return;
            timer->stop();
            *typed = true;
            field->selectAll();
            QTest::keyClicks(field, QString::number(number));
            QTest::keyClick(field, Qt::Key_Return);
        });
        poll->start();
        pollers_.push_back(poll);
        return typed;
    }

    // --- Menus: the next popup menu is walked by keys to the item of the text, then Enter ---
    void ChooseInNextMenu(const QString& text) { ChooseInNextMenu(QStringList{text}); }
    // Through submenus: each text but the last opens a submenu (Right), the last is chosen.
    void ChooseInNextMenu(const QStringList& path) {
        auto poll = std::make_shared<QTimer>();
        poll->setInterval(10);
        auto step = std::make_shared<int>(0);
        auto opened = std::make_shared<QMenu*>(nullptr);  // the menu the last step left
        QObject::connect(poll.get(), &QTimer::timeout, [poll, path, step, opened]() mutable {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu || menu == *opened) return;
            const QList<QAction*> items = menu->actions();
            const auto item = std::find_if(items.begin(), items.end(),
                                           [&](QAction* a) { return a->text() == path[*step]; });
            if (item == items.end()) {
                menu->close();  // no such item: the journey's check then fails
            } else {
                menu->setActiveAction(*item);
                if (++*step < path.size()) {
                    *opened = menu;
                    QTest::keyClick(menu->windowHandle(), Qt::Key_Right);
                    return;
                }
                QTest::keyClick(menu->windowHandle(), Qt::Key_Return);
            }
            poll->stop();
            poll.reset();
        });
        poll->start();
        pollers_.push_back(poll);
    }

    // --- The 3D picture ---
    // The 3D window's picture after its next frame.
    QImage Next3DPicture() {
        C3DWindowView* view = View3D();
        if (!view) return {};
        bool drawn = false;
        const auto link =
            QObject::connect(view, &C3DWindowView::frameDrawn, [&drawn] { drawn = true; });
        view->update();
        WaitUntil([&] { return drawn; });
        QObject::disconnect(link);
        return view->LastFrame();
    }
    // The share of pixels in which two pictures of the same size differ.
    static double Difference(const QImage& a, const QImage& b) {
        if (a.size() != b.size() || a.isNull()) return 1.0;
        const QImage x = a.convertToFormat(QImage::Format_RGB32);
        const QImage y = b.convertToFormat(QImage::Format_RGB32);
        long differing = 0;
        for (int row = 0; row < x.height(); ++row) {
            const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
            const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
            for (int column = 0; column < x.width(); ++column) differing += p[column] != q[column];
        }
        return double(differing) / (double(x.width()) * x.height());
    }

private:
    // Polls for the next message box until answer takes it (returns true).
    std::shared_ptr<QString> WhenNextMessageAsks(std::function<bool(QMessageBox*)> answer) {
        auto asked = std::make_shared<QString>();
        auto poll = std::make_shared<QTimer>();
        poll->setInterval(10);
        QObject::connect(poll.get(), &QTimer::timeout, [poll, asked, answer]() mutable {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !answer(box)) return;
            *asked = box->text();
            poll->stop();
            poll.reset();
        });
        poll->start();
        pollers_.push_back(poll);
        return asked;
    }

    tavrel::testing::TempFolder home_;
    fs::path givenHome_;
    UrlSink urls_;
    std::unique_ptr<CTavrelApp> app_;
    QStringList openAtStart_;
    const char* tmp_ = [] {
        static const char* const original = std::getenv("TMPDIR");
        return original;
    }();
    std::vector<std::shared_ptr<QTimer>> pollers_;
};

}  // namespace tavrel::journeys

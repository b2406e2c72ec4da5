#include "tests/monkey/EditorMonkey.h"

#include <execinfo.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QWheelEvent>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kKeys[] = {Qt::Key_Left,      Qt::Key_Right,  Qt::Key_Up,     Qt::Key_Down,
                         Qt::Key_Home,      Qt::Key_End,    Qt::Key_PageUp, Qt::Key_PageDown,
                         Qt::Key_Return,    Qt::Key_Enter,  Qt::Key_Space,  Qt::Key_Delete,
                         Qt::Key_Backspace, Qt::Key_Escape, Qt::Key_Tab,    Qt::Key_F2,
                         Qt::Key_F5,        Qt::Key_Plus,   Qt::Key_Minus,  Qt::Key_A,
                         Qt::Key_C,         Qt::Key_V,      Qt::Key_X,      Qt::Key_Z,
                         Qt::Key_Y,         Qt::Key_S,      Qt::Key_R,      Qt::Key_1};
constexpr Qt::KeyboardModifier kModifiers[] = {Qt::NoModifier,    Qt::NoModifier,
                                               Qt::NoModifier,    Qt::ControlModifier,
                                               Qt::ShiftModifier, Qt::AltModifier};

// Every entry of the library, folders included (the library itself left out).
std::vector<fs::path> Entries(const fs::path& library, bool folders) {
    std::vector<fs::path> found;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(library, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_directory(error) == folders) found.push_back(it->path());
    }
    return found;
}

}  // namespace

CEditorMonkey::CEditorMonkey(QWidget* mainWindow, Options options)
    : mainWindow_(mainWindow), options_(std::move(options)), random_(options_.seed) {}

int CEditorMonkey::Run() {
    end_ = std::chrono::steady_clock::now() + options_.duration;
    QEventLoop loop;
    QTimer::singleShot(0, this, [this] { Tick(); });
    while (!quit_) loop.processEvents(QEventLoop::WaitForMoreEvents);
    return actions_;
}

int CEditorMonkey::Uniform(int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random_);
}

bool CEditorMonkey::Chance(double p) {
    return std::bernoulli_distribution(p)(random_);
}

// The next tick is set before this one acts: an action that opens a dialog runs the dialog's
// own event loop, and the following ticks then act on the dialog.
void CEditorMonkey::Tick() {
    const auto now = std::chrono::steady_clock::now();
    if (now >= end_) finishing_ = true;
    if (now >= end_ + kOverrun) ReportOverrun();
    QWidget* front = QApplication::activePopupWidget();
    if (!front) front = QApplication::activeModalWidget();
    if (finishing_ && !front && depth_ == 0 && !held_) {
        quit_ = true;
        return;
    }
    QTimer::singleShot(Uniform(0, 12), this, [this] { Tick(); });
    // Events handled while an action is being delivered (QTest's own processing, or a wait
    // that shuts out input) are no place for a user's input: only a loop that an action
    // entered (a dialog, a menu, a drag) takes the next one.
    const int loopLevel = thread()->loopLevel();
    if (depth_ > 0 && loopLevel <= actLoopLevel_) return;
    const int outerLoopLevel = std::exchange(actLoopLevel_, loopLevel);
    ++depth_;
    ++actions_;
    if (front) {
        ActOnFront(front);
    } else if (!finishing_) {
        Act();
    } else if (held_) {
        LetGo(heldAt_);
    } else if (mainWindow_ && mainWindow_->windowHandle()) {
        // Inside a loop of its own without a dialog (a drag): let go of it.
        Count("drag ended");
        QTest::mouseRelease(mainWindow_->windowHandle(), Qt::LeftButton);
        if (mainWindow_) KeyClick(mainWindow_->windowHandle(), Qt::Key_Escape, Qt::NoModifier);
    }
    --depth_;
    actLoopLevel_ = outerLoopLevel;
}

// Events still flow, so the stall watchdog is content, but the editor has not come back from
// a wait of its own (one that shuts out input) long after the run's end: it never will.
void CEditorMonkey::ReportOverrun() {
    std::fprintf(stderr, "\nThe run has not ended %lld s after its time: the editor waits inside "
                         "an event loop of its own.\n--- the window thread's stack ---\n",
                 static_cast<long long>(kOverrun.count()));
    void* frames[64];
    ::backtrace_symbols_fd(frames, ::backtrace(frames, 64), 2);
    std::_Exit(3);
}

void CEditorMonkey::Act() {
    if (!mainWindow_) return;
    if (held_) return ActWhileHeld();
    const int pick = Uniform(0, 99);
    if (pick < 4) return ChangeLibrary();
    if (pick < 6 && options_.handOver && !options_.handedFiles.empty()) return HandOver();
    if (pick < 10) return MenuCommand();
    if (pick < 16) return Wheel(mainWindow_);
    ActOnWindow(mainWindow_->windowHandle(), mainWindow_);
}

void CEditorMonkey::ActOnWindow(QWindow* window, QWidget* top) {
    if (!window) return;
    const int pick = Uniform(0, 99);
    if (pick < 45) return Click(window, top);
    if (pick < 70) return Drag(window, top);
    Key(window);
}

// Files are never picked or saved at random (they would land anywhere); the other dialogs and
// the menus get the same input as the main window, or are closed.
void CEditorMonkey::ActOnFront(QWidget* front) {
    if (auto* files = qobject_cast<QFileDialog*>(front)) {
        Count("file dialog closed");
        return files->reject();
    }
    if (finishing_ || Chance(0.15)) {
        Count("front closed");
        if (auto* box = qobject_cast<QMessageBox*>(front)) {
            const QList<QAbstractButton*> buttons = box->buttons();
            if (!buttons.isEmpty()) return buttons[Uniform(0, int(buttons.size()) - 1)]->click();
        }
        if (auto* dialog = qobject_cast<QDialog*>(front)) return dialog->reject();
        return front->close(), void();
    }
    ActOnWindow(front->windowHandle(), front);
}

QPoint CEditorMonkey::SomePoint(QWidget* top) {
    std::vector<QWidget*> visible{top};
    for (QWidget* child : top->findChildren<QWidget*>()) {
        if (child->isVisible() && child->width() > 0 && child->height() > 0)
            visible.push_back(child);
    }
    QWidget* target = visible[Uniform(0, int(visible.size()) - 1)];
    const QPoint inside(Uniform(0, target->width() - 1), Uniform(0, target->height() - 1));
    // A child may reach past its window (scrolled or clipped): such points stay in the window.
    const QPoint at = target->mapTo(top, inside);
    return {std::clamp(at.x(), 0, top->width() - 1), std::clamp(at.y(), 0, top->height() - 1)};
}

void CEditorMonkey::Click(QWindow* window, QWidget* top) {
    const QPoint at = SomePoint(top);
    const Qt::MouseButton button = Chance(0.8) ? Qt::LeftButton : Qt::RightButton;
    const Qt::KeyboardModifier modifier = Chance(0.85) ? Qt::NoModifier : Qt::ControlModifier;
    QPointer<QWindow> alive(window);
    if (Chance(0.2)) {
        Count("double click");
        return QTest::mouseDClick(window, button, modifier, at);
    }
    Count("click");
    QTest::mousePress(window, button, modifier, at);
    if (alive) QTest::mouseRelease(window, button, modifier, at);
}

void CEditorMonkey::Drag(QWindow* window, QWidget* top) {
    Count("drag");
    QPointer<QWindow> alive(window);
    const QPoint from = SomePoint(top);
    const QPoint to = SomePoint(top);
    QTest::mousePress(alive, Qt::LeftButton, Qt::NoModifier, from);
    const int steps = Uniform(2, 8);
    const bool hold = top == mainWindow_ && Chance(0.3);
    for (int i = 1; i <= (hold ? 1 : steps) && alive; ++i)
        QTest::mouseMove(alive, from + (to - from) * i / steps);
    if (hold) {
        Count("drag held");
        held_ = alive;
        heldAt_ = from + (to - from) / steps;
        return;
    }
    if (alive) QTest::mouseRelease(alive, Qt::LeftButton, Qt::NoModifier, to);
}

void CEditorMonkey::ActWhileHeld() {
    if (!held_) return LetGo(heldAt_);  // the window went (a hand-over, a closed dialog)
    const int pick = Uniform(0, 99);
    if (pick < 40) {
        heldAt_ = SomePoint(mainWindow_);
        return QTest::mouseMove(held_, heldAt_);
    }
    if (pick < 75) {
        Count("key while dragging");
        constexpr std::pair<int, Qt::KeyboardModifier> kEdits[] = {
            {Qt::Key_Delete, Qt::NoModifier}, {Qt::Key_Z, Qt::ControlModifier},
            {Qt::Key_Y, Qt::ControlModifier}, {Qt::Key_X, Qt::ControlModifier},
            {Qt::Key_Escape, Qt::NoModifier}, {Qt::Key_Left, Qt::NoModifier}};
        const auto [key, modifier] = kEdits[Uniform(0, int(std::size(kEdits)) - 1)];
        return KeyClick(held_, Qt::Key(key), modifier);
    }
    LetGo(SomePoint(mainWindow_));
}

void CEditorMonkey::LetGo(QPoint at) {
    QPointer<QWindow> window = held_;
    held_ = nullptr;
    if (window) QTest::mouseRelease(window, Qt::LeftButton, Qt::NoModifier, at);
}

void CEditorMonkey::Key(QWindow* window) {
    Count("key");
    const int key = kKeys[Uniform(0, int(std::size(kKeys)) - 1)];
    const Qt::KeyboardModifier modifier = kModifiers[Uniform(0, int(std::size(kModifiers)) - 1)];
    KeyClick(window, Qt::Key(key), modifier);
}

void CEditorMonkey::KeyClick(QWindow* window, Qt::Key key, Qt::KeyboardModifiers modifiers) {
    const QPointer<QWindow> alive(window);
    if (!alive) return;
    constexpr std::pair<Qt::KeyboardModifier, Qt::Key> kModifierKeys[] = {
        {Qt::ShiftModifier, Qt::Key_Shift},
        {Qt::ControlModifier, Qt::Key_Control},
        {Qt::AltModifier, Qt::Key_Alt}};
    Qt::KeyboardModifiers held;
    for (const auto& [modifier, modifierKey] : kModifierKeys) {
        if (!(modifiers & modifier) || !alive) continue;
        QTest::simulateEvent(alive, true, modifierKey, held, QString(), false);
        held |= modifier;
    }
    const char ascii = QTest::keyToAscii(key);
    const QString text = ascii ? QString(QChar::fromLatin1(ascii)) : QString();
    if (alive) QTest::simulateEvent(alive, true, key, modifiers, text, false);
    if (alive) QTest::simulateEvent(alive, false, key, modifiers, text, false);
    for (const auto& [modifier, modifierKey] : kModifierKeys) {
        if (!(held & modifier) || !alive) continue;
        QTest::simulateEvent(alive, false, modifierKey, held, QString(), false);
        held &= ~modifier;
    }
}

void CEditorMonkey::Wheel(QWidget* top) {
    Count("wheel");
    const QPoint global = top->mapToGlobal(SomePoint(top));
    QWidget* target = QApplication::widgetAt(global);
    if (!target) return;
    const QPoint notch(0, Chance(0.5) ? 120 : -120);
    QWheelEvent wheel(target->mapFromGlobal(global), global, QPoint(), notch, Qt::NoButton,
                      Chance(0.8) ? Qt::NoModifier : Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &wheel);
}

void CEditorMonkey::MenuCommand() {
    std::vector<QAction*> actions;
    for (QAction* action : mainWindow_->findChildren<QAction*>()) {
        if (action->isVisible() && action->isEnabled() && !action->isSeparator() && !action->menu())
            actions.push_back(action);
    }
    if (actions.empty()) return;
    Count("menu command");
    actions[Uniform(0, int(actions.size()) - 1)]->trigger();
}

// What another program (or the user in a file manager) does to the library meanwhile.
void CEditorMonkey::ChangeLibrary() {
    std::error_code error;
    const std::vector<fs::path> files = Entries(options_.library, false);
    std::vector<fs::path> folders = Entries(options_.library, true);
    folders.push_back(options_.library);
    fs::path folder = folders[Uniform(0, int(folders.size()) - 1)];
    if (const fs::path shown = options_.shownFolder ? options_.shownFolder() : fs::path();
        !shown.empty() && fs::is_directory(shown, error) && Chance(0.6))
        folder = shown;
    const std::string name = "m" + std::to_string(Uniform(0, 9999));
    const int pick = files.size() < 4 ? 0 : Uniform(0, 5);
    if (pick == 0 && Chance(0.4)) {
        AddDamagedSceneFile(folder, name);
    } else if (pick <= 1) {
        Count("library: file added");
        fs::copy_file(options_.sampleMotion, folder / (name + ".cha"), error);
    } else if (pick == 2 || pick == 3) {
        Count("library: file renamed");
        const fs::path& file = files[Uniform(0, int(files.size()) - 1)];
        fs::rename(file, file.parent_path() / (name + file.extension().string()), error);
    } else if (pick == 4) {
        Count("library: file removed");
        fs::remove(files[Uniform(0, int(files.size()) - 1)], error);
    } else if (folder != options_.library && Chance(0.3)) {
        Count("library: folder removed");
        fs::remove_all(folder, error);
    } else {
        Count("library: folder added");
        fs::create_directory(folder / name, error);
    }
}

// A scene file that is not one: empty, or a few lines of plain words (which the importer
// refuses without reading further).
void CEditorMonkey::AddDamagedSceneFile(const fs::path& folder, const std::string& name) {
    Count("library: damaged scene file");
    constexpr const char* kExtensions[] = {".fbx", ".dae", ".glb", ".gltf"};
    std::ofstream out(folder / (name + kExtensions[Uniform(0, int(std::size(kExtensions)) - 1)]));
    const int length = Chance(0.4) ? 0 : Uniform(1, 400);
    for (int i = 0; i < length; ++i) {
        const int c = Uniform(0, 29);
        out << (c < 26 ? char('a' + c) : c < 28 ? ' ' : '\n');
    }
}

// What a second start does: the file goes to the running editor, which opens it when nothing
// else is under way (a box of its own may ask first).
void CEditorMonkey::HandOver() {
    Count("file handed over");
    options_.handOver(options_.handedFiles[Uniform(0, int(options_.handedFiles.size()) - 1)]);
}

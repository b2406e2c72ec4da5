#pragma once
// Random input for the assembled editor: clicks, double clicks, drags, keys, wheel turns and
// menu commands on whatever window is in front (dialogs and menus included), and files added,
// renamed and removed in the motion library from outside. Everything goes through the windows'
// own event path (the window system's mouse and key events), so the program sees what a user's
// hands would make. The choices come from one seeded generator: a seed replays the same
// choices.
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

class QWidget;
class QWindow;

class CEditorMonkey : public QObject {
public:
    struct Options {
        std::uint32_t seed = 1;
        std::chrono::milliseconds duration{10000};
        std::filesystem::path library;       // the library folder changed from outside
        std::filesystem::path sampleMotion;  // copied in as a new file
        // The folder the gallery shows now (most changes happen there); empty when unknown.
        std::function<std::filesystem::path()> shownFolder;
        // Hands a file to the running editor as `tavrel FILE` does; files handed are these.
        std::function<void(const std::filesystem::path&)> handOver;
        std::vector<std::filesystem::path> handedFiles;
    };

    CEditorMonkey(QWidget* mainWindow, Options options);

    // Plays until the time is up and every dialog and menu it opened is closed again; returns
    // the number of actions.
    int Run();
    // How often each kind of action was taken.
    const std::map<std::string, int>& Counts() const { return counts_; }

private:
    void Tick();
    void ReportOverrun();
    void Act();
    // A dialog or a menu is in front: it gets the input, or is closed.
    void ActOnFront(QWidget* front);
    void ActOnWindow(QWindow* window, QWidget* top);

    void Click(QWindow* window, QWidget* top);
    void Drag(QWindow* window, QWidget* top);
    // A drag left held: the next actions move it on, press keys meanwhile (delete, undo) or
    // let go.
    void ActWhileHeld();
    void LetGo(QPoint at);
    void Key(QWindow* window);
    // A key pressed and let go, each event on its own: the press may close the window (a box's
    // Escape), and nothing more is sent to a window that has gone.
    static void KeyClick(QWindow* window, Qt::Key key, Qt::KeyboardModifiers modifiers);
    void Wheel(QWidget* top);
    void MenuCommand();
    void ChangeLibrary();
    void AddDamagedSceneFile(const std::filesystem::path& folder, const std::string& name);
    void HandOver();

    // A point in top's window: inside a random visible child, so that small widgets get hit too.
    QPoint SomePoint(QWidget* top);
    int Uniform(int low, int high);
    bool Chance(double p);
    void Count(const char* kind) { ++counts_[kind]; }

    QPointer<QWidget> mainWindow_;
    Options options_;
    std::mt19937 random_;
    std::chrono::steady_clock::time_point end_;
    QPointer<QWindow> held_;  // the window of a drag whose button is still down
    QPoint heldAt_;
    bool finishing_ = false;
    bool quit_ = false;
    int depth_ = 0;  // actions under way (a dialog opened by one runs the next ticks)
    static constexpr std::chrono::seconds kOverrun{10};
    int actLoopLevel_ = -1;  // the event loop the innermost action under way started in
    int actions_ = 0;
    std::map<std::string, int> counts_;
};

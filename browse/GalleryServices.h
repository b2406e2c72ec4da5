#pragma once
// What the gallery's windows need from the program around them, as one small interface: the
// editor shell's gallery colleague implements it, tests answer it directly.
#include <QKeySequence>
#include <QList>
#include <QString>
#include <functional>
#include <mutex>
#include <string>

#include "settings/Message.h"

class QAction;
class QKeyEvent;
class QWidget;

namespace tavrel {

class CGalleryServices {
public:
    virtual ~CGalleryServices() = default;
    // While the timeline is busy the gallery's commands are grayed.
    virtual bool IsTimelineBusy() const { return false; }
    // Where the thumbnails are kept between runs; empty keeps them in memory only.
    virtual std::string ThumbnailStoreFolder() const { return {}; }
    // The one lock of the 3D machinery, held while a picture is made.
    virtual std::mutex& SharedMutex() { return mutex_; }
    // A yes/no question; true for yes.
    virtual bool Ask(const QString& text);
    // A message the user acknowledges.
    virtual void Tell(const QString& text);
    // Moves a file or folder to the desktop trash; false when it could not.
    virtual bool MoveToTrash(const QString& path);

private:
    std::mutex mutex_;
};

// Triggers the enabled action whose key the event is; false when none matches.
bool TriggerShortcut(const QKeyEvent* event, const QList<QAction*>& actions);
// A command of the window with the string-table text id and a key that works while the window
// has the focus. The key is the window's own, never a shortcut of Qt's: the main window's edit
// actions claim Ctrl+C, Ctrl+X, Ctrl+V and Del and route them to the gallery, and a second
// shortcut on the same key would leave both silent. Menus show the key beside the text.
QAction* AddWindowCommand(QWidget* window, int id, const QKeySequence& key,
                          std::function<void()> run);
// The key AddWindowCommand gave the action.
QKeySequence WindowCommandKey(const QAction* action);

// The text of a string-table entry, and of a message with its placeholders filled in.
QString GalleryText(int id);
QString GalleryText(const Message& message);

}  // namespace tavrel

#pragma once
// The colleague for what no window owns: the folders remembered in the settings file, the
// program's folder, documents opened with the desktop, the update check, an option flag, and
// the mutex that keeps the 3D machinery to one user at a time.
#include <QUrl>
#include <functional>
#include <mutex>
#include <string>

#include "app/Colleague.h"
#include "settings/RProfile.h"

class QWidget;

namespace tavrel {

class CAPSystemColleague : public CColleague {
public:
    // programFolder: where the program's data lives (share/tavrel, with help/ in it).
    CAPSystemColleague(CMediatorSeam* mediator, std::string programFolder);

    void SetProjectDirectory(const std::string& path);
    std::string GetProjectDirectory() const;
    std::string GetMotionDirectory() const;
    void SetMotionDirectory(const std::string& path);
    std::string GetPoseDirectory() const;
    void SetPoseDirectory(const std::string& path);
    // With a trailing separator.
    const std::string& ProgramFolder() const { return programFolder_; }

    // Opens document 1, 2 or 3 (commands 40012, 40013, 40035) with the desktop.
    bool OpenDocument(int which);
    // Opens a URL with the desktop (tests record instead).
    bool OpenUrl(const QUrl& url);
    using UrlOpener = std::function<bool(const QUrl&)>;
    void SetUrlOpener(UrlOpener opener) { urlOpener_ = std::move(opener); }

    // Asks the update library and tells the user what it found. True when the check got an
    // answer.
    bool ShowUpdate(QWidget* parent);

    bool ToggleOption() {
        option_ = !option_;
        return true;
    }
    bool Option() const { return option_; }

    void Lock() { mutex_.lock(); }
    void Unlock() { mutex_.unlock(); }
    bool TryLock() { return mutex_.try_lock(); }
    std::mutex& Mutex() { return mutex_; }

private:
    CRProfile profile_;
    bool option_ = true;
    std::mutex mutex_;
    std::string programFolder_;
    UrlOpener urlOpener_;
};

}  // namespace tavrel

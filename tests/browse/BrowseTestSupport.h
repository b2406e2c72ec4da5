#pragma once
// Shared by the gallery's window tests: services that record the questions and messages and
// answer as told, and the trash folder of the test run.
#include <QStringList>
#include <ostream>
#include <string>

#include "browse/GalleryServices.h"
#include "tests/motion/MotionFiles.h"

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& list, std::ostream* out) {
    *out << '{' << list.join(", ").toStdString() << '}';
}
QT_END_NAMESPACE

#include <functional>

namespace tavrel::testing {

// The run's $XDG_DATA_HOME parent; the trash lives in <it>/data/Trash.
std::string TestDataHome();

inline QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

inline std::string TrashedFile(const std::string& name) {
    return TestDataHome() + "/data/Trash/files/" + name;
}

struct FakeServices : CGalleryServices {
    bool busy = false;
    bool answer = true;
    QStringList asked, told;
    bool IsTimelineBusy() const override { return busy; }
    std::function<void()> whileAsking;  // what happens while the question is up
    bool Ask(const QString& text) override {
        asked << text;
        if (whileAsking) whileAsking();
        return answer;
    }
    void Tell(const QString& text) override { told << text; }
    bool trashRefuses = false;  // as a trash on another file system would
    bool MoveToTrash(const QString& path) override {
        return !trashRefuses && CGalleryServices::MoveToTrash(path);
    }
};

}  // namespace tavrel::testing

// Shows the gallery frame on a library folder, waits for the pictures, selects the first
// motion and writes a screenshot: for a person to look at, never compared.
// Usage: gallery_shot LIBRARY|- OUT.png (- is the default library of the per-user data folder)
#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

#include "browse/ChildFrame.h"
#include "browse/FileTreeCtrl.h"
#include "browse/GalleryServices.h"
#include "browse/ImageArea.h"
#include "browse/ThumbnailCtrl.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 3) return 2;
    tavrel::CGalleryServices services;
    const QString library = QString(argv[1]) == "-" ? QString() : QString(argv[1]);
    tavrel::CChildFrame frame(services, library);
    frame.resize(560, 420);
    frame.show();
    frame.Tree()->SelectPath(frame.LibraryFolder() + "/Locomotion");
    QElapsedTimer clock;
    clock.start();
    while (frame.Thumbnails()->IsWorkerRunning() && clock.elapsed() < 10000) QTest::qWait(20);
    QTest::qWait(100);
    if (frame.Thumbnails()->count()) {
        frame.Thumbnails()->item(0)->setSelected(true);
        emit frame.Thumbnails()->PreviewRequested(frame.Thumbnails()->SelectedPaths().front());
    }
    QTest::qWait(400);
    return frame.grab().save(argv[2]) ? 0 : 1;
}

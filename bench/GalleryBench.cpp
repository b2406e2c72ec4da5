// The gallery on a folder of 500 motions: listing the folder, the thumbnail control showing its
// items, and the worker making all 500 pictures. And on a capture library of 2,500 BVH files
// (1,000 to 10,000 frames at 120 a second, 31 joints): the names shown, then every picture
// made cold and, on a second visit, from the store on disk, with the longest time the window's
// event loop was held up meanwhile.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <time.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "browse/GalleryServices.h"
#include "browse/ThumbnailCtrl.h"
#include "browse/core/MotionFolder.h"
#include "browse/core/MotionThumbnailMaker.h"
#include "browse/core/ThumbnailWorker.h"
#include "tests/support/CaptureLibrary.h"

namespace {

namespace fs = std::filesystem;

const std::string kData = TAVREL_SHARE_DIR;
const std::vector<std::string> kExtensions = {"cha", "chb", "htr"};

// 500 copies of the sample motions, made once per run.
const std::string& Folder500() {
    static const std::string folder = [] {
        const fs::path dir = fs::temp_directory_path() / "tavrel-bench-gallery";
        fs::remove_all(dir);
        fs::create_directories(dir);
        std::vector<fs::path> samples;
        for (const auto& entry : fs::recursive_directory_iterator(kData + "/Motion")) {
            if (entry.is_regular_file()) samples.push_back(entry.path());
        }
        for (int i = 0; i < 500; ++i) {
            const fs::path& from = samples[i % samples.size()];
            fs::copy_file(from, dir / ("m" + std::to_string(i) + "_" + from.filename().string()));
        }
        return dir.string();
    }();
    return folder;
}

void BM_ListFolder500(benchmark::State& state) {
    const std::string& folder = Folder500();
    for (auto _ : state) {
        const auto listing = tavrel::ListMotionFolder(folder, kExtensions);
        if (listing.names.size() != 500) return state.SkipWithError("not 500 motions listed");
    }
}
BENCHMARK(BM_ListFolder500)->Unit(benchmark::kMillisecond);

void EnsureApplication() {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "bench_gallery";
    static char* argv[] = {name, nullptr};
    // Kept to the end of the process: a static one went before Qt's own input devices did, and
    // their teardown at exit then crashed.
    static QApplication* app = new QApplication(argc, argv);
    (void)app;
}

void BM_ShowFolderItems500(benchmark::State& state) {
    EnsureApplication();
    tavrel::CGalleryServices services;
    tavrel::CThumbnailCtrl thumbs(services, nullptr);  // no pictures: the items alone
    thumbs.SetAcceptedExtensions("cha,chb,htr");
    for (auto _ : state) {
        if (!thumbs.ShowFolder(QString::fromStdString(Folder500())) || thumbs.count() != 500) {
            return state.SkipWithError("not 500 items");
        }
    }
}
BENCHMARK(BM_ShowFolderItems500)->Unit(benchmark::kMillisecond);

void BM_AllPictures500(benchmark::State& state) {
    const std::string& folder = Folder500();
    const auto names = tavrel::ListMotionFolder(folder, kExtensions).names;
    tavrel::CMotionThumbnailMaker maker(kData);
    std::mutex shared;
    for (auto _ : state) {
        tavrel::CThumbnailCache cache;  // cold: every picture is made
        tavrel::CThumbnailWorker worker(cache, maker.Function(), shared);
        std::atomic<int> made{0};
        worker.Start(folder, names, 50, 50, [&](size_t, tavrel::ThumbnailPtr) { ++made; });
        worker.Join();
        if (made != 500) return state.SkipWithError("not 500 pictures");
    }
}
BENCHMARK(BM_AllPictures500)->Unit(benchmark::kMillisecond);

constexpr int kLibrarySize = 2500;

// The capture library: 25 distinct captures of 1,000 to 10,000 frames under 2,500 names (hard
// links: 2,500 files of up to 5 MB would fill the disk, and every name is read and drawn as a
// file of its own), and the picture store of the runs below. Both stay between runs, so a
// second visit can be measured in a run of its own.
struct CaptureLibrary {
    CaptureLibrary() {
        if (tavrel::ListMotionFolder(Folder(), {"bvh"}).names.size() == kLibrarySize) return;
        fs::remove_all(root);
        tavrel::testing::MakeCaptureLibrary(Folder(), kLibrarySize, 25, 1000, 10000);
    }
    std::string Folder() const { return (root / "library").string(); }
    std::string Store() const { return (root / "store").string(); }
    const fs::path root = fs::temp_directory_path() / "tavrel-bench-captures";
};

const CaptureLibrary& Library() {
    static const CaptureLibrary library;
    return library;
}

const std::vector<std::string> kAllExtensions = {"cha", "chb", "htr", "bvh"};

void BM_ListCaptureLibrary2500(benchmark::State& state) {
    const std::string folder = Library().Folder();
    for (auto _ : state) {
        if (tavrel::ListMotionFolder(folder, kAllExtensions).names.size() != kLibrarySize)
            return state.SkipWithError("not every capture listed");
    }
}
BENCHMARK(BM_ListCaptureLibrary2500)->Unit(benchmark::kMillisecond);

// Services whose pictures are kept in the library's store.
struct StoringServices : tavrel::CGalleryServices {
    std::string ThumbnailStoreFolder() const override { return Library().Store(); }
};

// From opening the folder to every name laid out and painted (no pictures yet).
void BM_ShowCaptureLibrary2500(benchmark::State& state) {
    EnsureApplication();
    const QString folder = QString::fromStdString(Library().Folder());
    tavrel::CGalleryServices services;
    tavrel::CThumbnailCtrl thumbs(services, nullptr);
    thumbs.SetAcceptedExtensions("cha,chb,htr,bvh");
    thumbs.resize(600, 400);
    thumbs.show();
    for (auto _ : state) {
        if (!thumbs.ShowFolder(folder) || thumbs.count() != kLibrarySize)
            return state.SkipWithError("not every name shown");
        thumbs.repaint();  // lays the items out and paints the visible ones
    }
}
BENCHMARK(BM_ShowCaptureLibrary2500)->Unit(benchmark::kMillisecond);

// Every picture of the library, as the gallery shows them: cold (the store emptied first) or
// on a second visit (a new control, the pictures in the store). A zero-length timer ticks
// whenever the event loop runs: the longest gap between ticks is the longest the window could
// not react; on a loaded machine that includes time the thread waited for a processor, so the
// longest the window thread itself worked between ticks (its own processor time) is given too.
// Each run is one visit, from ShowFolder to the last picture shown.
void BM_CaptureLibraryPictures2500(benchmark::State& state) {
    EnsureApplication();
    const bool cached = state.range(0) == 1;
    const QString folder = QString::fromStdString(Library().Folder());
    tavrel::CMotionThumbnailMaker maker(kData);
    StoringServices services;
    if (cached && !fs::exists(Library().Store())) {  // a first visit fills the store
        tavrel::CThumbnailCtrl first(services, maker.Function());
        first.SetAcceptedExtensions("cha,chb,htr,bvh");
        first.ShowFolder(folder);
        while (first.IsWorkerRunning()) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    const auto threadTime = [] {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
    };
    double longestBlock = 0, longestWork = 0, namesShown = 0;
    int shown = 0;
    for (auto _ : state) {
        if (!cached) std::filesystem::remove_all(Library().Store());
        tavrel::CThumbnailCtrl thumbs(services, maker.Function());
        thumbs.SetAcceptedExtensions("cha,chb,htr,bvh");
        thumbs.resize(600, 400);
        thumbs.show();
        shown = 0;
        QObject::connect(&thumbs, &tavrel::CThumbnailCtrl::PictureShown, [&] { ++shown; });
        QElapsedTimer sinceTick;
        double workedAt = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            longestBlock = std::max(longestBlock, double(sinceTick.nsecsElapsed()) / 1e6);
            longestWork = std::max(longestWork, threadTime() - workedAt);
            sinceTick.restart();
            workedAt = threadTime();
        });
        QElapsedTimer visit;
        visit.start();
        thumbs.ShowFolder(folder);
        thumbs.repaint();
        namesShown = double(visit.nsecsElapsed()) / 1e6;
        ticker.start(0);
        sinceTick.start();
        workedAt = threadTime();
        // Once the worker has ended, its last pictures are still on their way.
        for (int idle = 0; shown < kLibrarySize && idle < 1000;) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            if (!thumbs.IsWorkerRunning()) ++idle;
        }
        ticker.stop();
    }
    if (shown != kLibrarySize) return state.SkipWithError("not every picture shown");
    state.counters["names_shown_ms"] = namesShown;
    state.counters["longest_block_ms"] = longestBlock;
    state.counters["longest_work_ms"] = longestWork;
}
BENCHMARK(BM_CaptureLibraryPictures2500)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

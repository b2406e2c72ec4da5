// The gallery on a folder of 500 motions: listing the folder (reading each file's head), the
// thumbnail control showing its items, and the worker making all 500 pictures.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QApplication>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "browse/GalleryServices.h"
#include "browse/ThumbnailCtrl.h"
#include "browse/core/MotionFolder.h"
#include "browse/core/MotionThumbnailMaker.h"
#include "browse/core/ThumbnailWorker.h"

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

void BM_ShowFolderItems500(benchmark::State& state) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "bench_gallery";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
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

}  // namespace

// thumbnails: the gallery's picture of every motion file of a folder, made by the gallery's
// own worker and cache, written as PNG files. Pictures kept in the user's store (the editor's
// too) are not made again.
#include <charconv>
#include <filesystem>
#include <mutex>
#include <vector>

#include "browse/core/MotionFolder.h"
#include "browse/core/MotionThumbnailMaker.h"
#include "browse/core/ThumbnailStore.h"
#include "browse/core/ThumbnailWorker.h"
#include "cli/Commands.h"
#include "cli/PngWriter.h"
#include "settings/StringIds.h"
#include "settings/StringTable.h"
#include "settings/UserDataFolder.h"

namespace tavrel::cli {
namespace {

namespace fs = std::filesystem;

constexpr int kMaxThumbnailSide = 1024;

struct ThumbnailOptions {
    std::string folder;
    std::string out;
    std::string store = DefaultThumbnailStoreFolder();  // empty: none
    int size = 50;
};

std::string ParseOptions(const Args& args, ThumbnailOptions* o) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--size" && hasValue) {
            const std::string& v = args[++i];
            auto [ptr, error] = std::from_chars(v.data(), v.data() + v.size(), o->size);
            if (error != std::errc() || ptr != v.data() + v.size() || o->size < 1 ||
                o->size > kMaxThumbnailSide) {
                return "--size expects a whole number from 1 to 1024";
            }
        } else if (a == "-o" && hasValue) {
            o->out = args[++i];
        } else if (a == "--cache" && hasValue) {
            o->store = args[++i];
        } else if (a == "--no-cache") {
            o->store.clear();
        } else if (a.size() > 1 && a[0] == '-') {
            return "unknown option " + a;
        } else if (o->folder.empty()) {
            o->folder = a;
        } else {
            return "expects one folder";
        }
    }
    if (o->folder.empty()) return "expects a folder";
    if (o->out.empty()) return "expects -o OUTDIR";
    return {};
}

std::vector<uint32_t> ToPixels(const ThumbnailPicture& picture) {
    std::vector<uint32_t> pixels(static_cast<size_t>(picture.width) * picture.height);
    for (size_t i = 0; i < pixels.size(); ++i) {
        const uint8_t* p = &picture.rgb[i * 3];
        pixels[i] = 0xFF000000u | uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
    }
    return pixels;
}

}  // namespace

int RunThumbnailsCommand(const Args& args, std::ostream& out, std::ostream& err) {
    ThumbnailOptions o;
    if (const std::string problem = ParseOptions(args, &o); !problem.empty()) {
        err << "tavrel-cli thumbnails: " << problem << " (see tavrel-cli thumbnails --help)\n";
        return kExitUsage;
    }
    std::error_code error;
    if (!fs::is_directory(o.folder, error)) {
        err << "error: " << o.folder << ": not a folder\n";
        return kExitFailed;
    }
    fs::create_directories(o.out, error);
    if (!fs::is_directory(o.out, error)) {
        err << "error: cannot make the folder " << o.out << '\n';
        return kExitFailed;
    }
    const auto extensions =
        ParseAcceptedExtensions(CStringTable::BuiltIn().Get(strings::kAcceptedExtensions));
    const MotionFolderListing listing = ListMotionFolder(o.folder, extensions);
    std::vector<ThumbnailPtr> pictures(listing.names.size());

    CMotionThumbnailMaker maker(AvatarDataFolder());
    CThumbnailCache cache;
    if (!o.store.empty()) cache.SetStore(std::make_unique<CThumbnailStore>(o.store));
    std::mutex shared;
    CThumbnailWorker worker(cache, maker.Function(), shared);
    // Each picture lands in its own slot, so the worker and this thread never share one.
    worker.Start(o.folder, listing.names, o.size, o.size,
                 [&](size_t index, ThumbnailPtr picture) { pictures[index] = std::move(picture); });
    worker.Join();

    size_t failed = 0;
    for (size_t i = 0; i < listing.unreadable.size(); ++i) {
        err << "error: " << listing.unreadable[i] << ": not a readable motion file ("
            << listing.reasons[i] << ")\n";
        ++failed;
    }
    size_t written = 0;
    for (size_t i = 0; i < listing.names.size(); ++i) {
        const std::string target = (fs::path(o.out) / (listing.names[i] + ".png")).string();
        if (!pictures[i]) {
            err << "error: " << listing.names[i] << ": no picture could be made\n";
            ++failed;
        } else if (!pictures[i]->problem.empty()) {
            err << "error: " << listing.names[i] << ": not a readable motion file ("
                << pictures[i]->problem << ")\n";
            ++failed;
        } else if (!WritePng(target, o.size, o.size, ToPixels(*pictures[i]).data())) {
            err << "error: cannot write " << target << '\n';
            ++failed;
        } else {
            ++written;
        }
    }
    out << "wrote " << written << " pictures of " << o.size << 'x' << o.size << " into " << o.out
        << '\n';
    return failed ? kExitFailed : kExitOk;
}

}  // namespace tavrel::cli

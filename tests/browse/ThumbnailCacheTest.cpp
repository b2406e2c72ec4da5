// The thumbnail cache and its worker thread, with a maker that counts and can be held up.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <random>
#include <future>
#include <semaphore>
#include <unistd.h>

#include "browse/core/ThumbnailCache.h"
#include "browse/core/ThumbnailStore.h"
#include "browse/core/ThumbnailWorker.h"
#include "tests/motion/MotionFiles.h"

namespace tavrel {
namespace {

using testing::TempDir;
using testing::WriteText;

// Makes a 1 x 1 picture whose red value is the number of the call.
struct CountingMaker {
    std::atomic<int> calls{0};
    ThumbnailMaker Function() {
        return [this](const std::string&, int w, int h) {
            auto picture = std::make_shared<ThumbnailPicture>();
            picture->width = w;
            picture->height = h;
            picture->rgb.assign(size_t(w) * h * 3, uint8_t(++calls));
            return picture;
        };
    }
};

// True when a thread holds the mutex (asked from another one).
bool HeldElsewhere(std::mutex& mutex) {
    return !std::async(std::launch::async, [&] {
                const bool free = mutex.try_lock();
                if (free) mutex.unlock();
                return free;
            }).get();
}

std::vector<std::string> MakeFiles(const TempDir& dir, int count) {
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i) {
        paths.push_back(dir / ("m" + std::to_string(i) + ".cha"));
        WriteText(paths.back(), "x");
    }
    return paths;
}

TEST(ThumbnailCache, KeepsThe256MadeLastNewestFirstAndAHitDoesNotMoveIt) {
    TempDir dir;
    const auto paths = MakeFiles(dir, 257);
    CountingMaker maker;
    CThumbnailCache cache;
    std::mutex shared;
    for (int i = 0; i < 256; ++i) cache.GetPicture(paths[i], maker.Function(), 1, 1, shared);
    EXPECT_EQ(maker.calls, 256);
    // A folder seen before: every picture comes from the cache, the order stays.
    const auto before = cache.Paths();
    ASSERT_EQ(before.front(), paths[255]);
    const ThumbnailPtr hit = cache.GetPicture(paths[3], maker.Function(), 1, 1, shared);
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->rgb[0], 4);
    EXPECT_EQ(maker.calls, 256);
    EXPECT_EQ(cache.Paths(), before);
    // The 257th new file pushes out the one made first; looking at m3 did not refresh it.
    cache.GetPicture(paths[256], maker.Function(), 1, 1, shared);
    const auto after = cache.Paths();
    ASSERT_EQ(after.size(), CThumbnailCache::kCapacity);
    EXPECT_EQ(after.front(), paths[256]);
    EXPECT_EQ(after.back(), paths[1]);
    EXPECT_FALSE(cache.Find(paths[0]));
    EXPECT_TRUE(cache.Find(paths[3]));
    cache.GetPicture(paths[0], maker.Function(), 1, 1, shared);
    EXPECT_EQ(maker.calls, 258);  // made again once pushed out
}

TEST(ThumbnailCache, RefusesBadPathsAndRemakesChangedFiles) {
    TempDir dir;
    CountingMaker maker;
    CThumbnailCache cache;
    std::mutex shared;
    // 261 characters: no picture, even though the file exists (as a link to a short name).
    const std::string target = dir / "t.cha";
    WriteText(target, "x");
    std::string longPath = dir.Path().string() + "/";
    while (longPath.size() < 257) longPath += "d";
    longPath += ".cha";
    ASSERT_EQ(longPath.size(), 261u);
    std::filesystem::create_symlink(target, longPath);
    EXPECT_FALSE(cache.GetPicture(longPath, maker.Function(), 1, 1, shared));
    EXPECT_FALSE(cache.GetPicture("", maker.Function(), 1, 1, shared));
    EXPECT_FALSE(cache.GetPicture(dir / "missing.cha", maker.Function(), 1, 1, shared));
    EXPECT_FALSE(cache.GetPicture(dir.Path().string(), maker.Function(), 1, 1, shared));
    EXPECT_EQ(maker.calls, 0);

    ASSERT_TRUE(cache.GetPicture(target, maker.Function(), 1, 1, shared));
    WriteText(target, "longer now");
    const ThumbnailPtr again = cache.GetPicture(target, maker.Function(), 1, 1, shared);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->rgb[0], 2);
    EXPECT_EQ(cache.Paths().size(), 1u);
}

TEST(ThumbnailCache, MakesUnderTheSharedMutexAndKeepsNoFailure) {
    TempDir dir;
    const auto paths = MakeFiles(dir, 1);
    CThumbnailCache cache;
    std::mutex shared;
    int calls = 0;
    bool heldWhileMaking = false;
    auto failing = [&](const std::string&, int, int) -> ThumbnailPtr {
        ++calls;
        heldWhileMaking = HeldElsewhere(shared);
        return nullptr;
    };
    EXPECT_FALSE(cache.GetPicture(paths[0], failing, 1, 1, shared));
    EXPECT_FALSE(cache.GetPicture(paths[0], failing, 1, 1, shared));
    EXPECT_EQ(calls, 2);
    EXPECT_TRUE(heldWhileMaking);
    EXPECT_TRUE(cache.Paths().empty());
}

TEST(ThumbnailWorker, DeliversEachPictureWithItsIndex) {
    TempDir dir;
    const auto paths = MakeFiles(dir, 5);
    std::vector<std::string> names;
    for (int i = 0; i < 5; ++i) names.push_back("m" + std::to_string(i) + ".cha");
    names.insert(names.begin() + 2, "gone.cha");  // no file: no picture, the rest go on
    CountingMaker maker;
    CThumbnailCache cache;
    std::mutex shared;
    std::mutex seenLock;
    std::vector<size_t> seen;
    CThumbnailWorker worker(cache, maker.Function(), shared);
    worker.Start(dir.Path().string(), names, 2, 2, [&](size_t index, ThumbnailPtr picture) {
        std::lock_guard guard(seenLock);
        if (picture && picture->rgb.size() == 12) seen.push_back(index);
    });
    worker.Join();
    EXPECT_TRUE(worker.IsFinished());
    EXPECT_EQ(worker.Done(), names.size());
    EXPECT_EQ(seen, (std::vector<size_t>{0, 1, 3, 4, 5}));
}

TEST(ThumbnailWorker, StopDuringARenderFinishesThatPictureAndMakesNoMore) {
    TempDir dir;
    const auto paths = MakeFiles(dir, 4);
    std::vector<std::string> names = {"m0.cha", "m1.cha", "m2.cha", "m3.cha"};
    std::counting_semaphore<64> entered(0), release(0);
    std::atomic<int> calls{0};
    auto slow = [&](const std::string&, int, int) -> ThumbnailPtr {
        ++calls;
        entered.release();
        release.acquire();
        return std::make_shared<ThumbnailPicture>();
    };
    CThumbnailCache cache;
    std::mutex shared;
    std::atomic<int> delivered{0};
    CThumbnailWorker worker(cache, slow, shared);
    // After a run through its whole list, and only then, the maker may let go of what it
    // draws with, holding the shared mutex (the 3D lock).
    std::atomic<int> afterRuns{0};
    std::atomic<bool> lockedDuring{false};
    worker.SetAfterRun([&] {
        ++afterRuns;
        lockedDuring = HeldElsewhere(shared);
    });
    worker.Start(dir.Path().string(), names, 1, 1, [&](size_t, ThumbnailPtr) { ++delivered; });
    entered.acquire();  // the first picture is being made
    worker.RequestStop();
    EXPECT_FALSE(worker.IsFinished());
    release.release();
    worker.Join();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(delivered, 1);
    EXPECT_EQ(cache.Paths().size(), 1u);
    EXPECT_EQ(afterRuns, 0);

    // A new start after a stop works through its whole list; a start while running stops
    // the running one first (the destructor too).
    for (int i = 0; i < 8; ++i) release.release();
    worker.Start(dir.Path().string(), names, 1, 1, nullptr);
    worker.Start(dir.Path().string(), names, 1, 1, nullptr);
    worker.Join();
    EXPECT_EQ(worker.Done(), names.size());
    EXPECT_GE(afterRuns, 1);
    EXPECT_TRUE(lockedDuring);
}

// The window thread holds the shared mutex (manipulation mode, the preview) and then stops,
// restarts or pauses the worker: none of these may wait for the worker's wait for the mutex.
// A deadlock is ended by the alarm instead of hanging the test.
TEST(ThumbnailWorker, ItsOwnerNeverWaitsOnAMutexTheOwnerHolds) {
    TempDir dir;
    MakeFiles(dir, 3);
    const std::vector<std::string> names = {"m0.cha", "m1.cha", "m2.cha"};
    const std::string folder = dir.Path().string();
    std::mutex shared;
    std::atomic<bool> resumed{false};
    std::atomic<int> early{0}, calls{0};
    auto maker = [&](const std::string&, int, int) {
        early += !resumed;
        ++calls;
        return std::make_shared<ThumbnailPicture>();
    };
    CThumbnailCache cache;
    CThumbnailWorker worker(cache, maker, shared);
    alarm(20);
    shared.lock();
    worker.Start(folder, names, 1, 1, nullptr);
    worker.Stop();
    worker.Start(folder, names, 1, 1, nullptr);
    worker.Start(folder, names, 1, 1, nullptr);  // a restart
    worker.Pause();
    worker.Start(folder, names, 1, 1, nullptr);  // the pause outlasts a restart
    EXPECT_TRUE(worker.IsPaused());
    // Paused, the worker leaves the free mutex alone until it is resumed.
    shared.unlock();
    resumed = true;
    worker.Resume();
    worker.Join();
    EXPECT_EQ(early, 0);
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(worker.Done(), names.size());
    worker.Pause();  // a stop ends a paused worker as well
    worker.Start(folder, names, 1, 1, nullptr);
    worker.Stop();
    alarm(0);
    EXPECT_TRUE(worker.IsFinished());
}

// What a later run of the program (a new cache over the same store) gets: each step does one
// thing to the motion file or to its kept entry, then asks for the picture again.
TEST(ThumbnailStore, KeepsPicturesAcrossRunsRemakesChangedFilesAndDamagedEntries) {
    TempDir dir;
    const std::string motion = dir / "walk.bvh";
    WriteText(motion, "first");
    const std::string storeFolder = dir / "cache/thumbnails";
    CountingMaker maker;
    std::mutex shared;
    const auto entry = [&](int side) {
        return storeFolder + "/" + CThumbnailStore::EntryName(motion, side, side);
    };
    const auto damage = [&](auto change) {
        return [&, change] {
            std::string bytes = testing::ReadBytes(entry(2));
            change(bytes);
            std::ofstream(entry(2), std::ios::binary | std::ios::trunc) << bytes;
        };
    };
    struct Step {
        const char* what;
        std::function<void()> change;
        int side;
        bool made;  // the maker ran: a miss
    };
    const Step steps[] = {
        {"first visit", [] {}, 2, true},
        {"second visit", [] {}, 2, false},
        {"another size", [] {}, 3, true},
        {"file rewritten, same size", [&] {
             WriteText(motion, "secnd");
             std::filesystem::last_write_time(
                 motion, std::filesystem::last_write_time(motion) + std::chrono::seconds(2));
         }, 2, true},
        {"file grown", [&] { WriteText(motion, "longer now"); }, 2, true},
        {"kept after the change", [] {}, 2, false},
        {"entry cut short", damage([](std::string& b) { b.resize(b.size() / 2); }), 2, true},
        {"remade entry kept", [] {}, 2, false},
        {"a pixel flipped", damage([](std::string& b) { b[b.size() - 20] ^= 0x40; }), 2, true},
        {"entry emptied", damage([](std::string& b) { b.clear(); }), 2, true},
        {"another program's file", damage([](std::string& b) { b.assign(5000, 'x'); }), 2, true},
        {"entry a folder", [&] {
             std::filesystem::remove(entry(2));
             std::filesystem::create_directory(entry(2));
         }, 2, true},
        {"the store removed", [&] { std::filesystem::remove_all(storeFolder); }, 2, true},
        {"and kept again", [] {}, 2, false},
    };
    for (const Step& step : steps) {
        step.change();
        CThumbnailCache cache;  // a new run: nothing in memory
        cache.SetStore(std::make_unique<CThumbnailStore>(storeFolder));
        const int before = maker.calls;
        const ThumbnailPtr picture =
            cache.GetPicture(motion, maker.Function(), step.side, step.side, shared);
        ASSERT_TRUE(picture) << step.what;
        EXPECT_EQ(maker.calls != before, step.made) << step.what;
        EXPECT_EQ(picture->rgb, std::vector<uint8_t>(size_t(step.side) * step.side * 3,
                                                     uint8_t(step.made ? maker.calls.load() : before)))
            << step.what;
    }
    // Random damage never passes for a picture: the entry is dropped, never misread.
    std::mt19937 random(7);
    const std::string whole = testing::ReadBytes(entry(2));
    for (int i = 0; i < 200; ++i) {
        std::string bytes = whole;
        if (i % 2) {
            bytes.resize(random() % bytes.size());
        } else {
            bytes[random() % bytes.size()] ^= uint8_t(1 + random() % 255);
        }
        std::ofstream(entry(2), std::ios::binary | std::ios::trunc) << bytes;
        CThumbnailStore store(storeFolder);
        FileStamp stamp;
        ASSERT_TRUE(StampOfFile(motion, &stamp));
        EXPECT_FALSE(store.Load(motion, stamp, 2, 2)) << i;
        EXPECT_FALSE(std::filesystem::exists(entry(2))) << i;
    }
}

// A file that cannot be shown is kept with its reason, like a picture, until it changes; and
// the store stays under its limit, the pictures used last staying longest.
TEST(ThumbnailStore, KeepsReasonsAndStaysUnderItsLimitDroppingTheLeastUsed) {
    TempDir dir;
    const auto paths = MakeFiles(dir, 40);
    const std::string storeFolder = dir / "store";
    int calls = 0;
    const ThumbnailMaker unreadable = [&](const std::string&, int w, int h) {
        ++calls;
        auto picture = std::make_shared<ThumbnailPicture>();
        picture->width = w;
        picture->height = h;
        picture->problem = "Cannot be read: cut short";
        return picture;
    };
    std::mutex shared;
    for (int run = 0; run < 2; ++run) {
        CThumbnailCache cache;
        cache.SetStore(std::make_unique<CThumbnailStore>(storeFolder));
        const ThumbnailPtr kept = cache.GetPicture(paths[0], unreadable, 8, 8, shared);
        ASSERT_TRUE(kept);
        EXPECT_EQ(kept->problem, "Cannot be read: cut short");
        EXPECT_TRUE(kept->rgb.empty());
    }
    EXPECT_EQ(calls, 1);

    const uintmax_t limit = 20 * (16 * 16 * 3 + 200);  // about 20 pictures
    CThumbnailStore store(storeFolder, limit);
    CountingMaker maker;
    FileStamp stamp;
    ThumbnailPicture picture{16, 16, std::vector<uint8_t>(16 * 16 * 3, 9), {}};
    for (size_t i = 1; i < paths.size(); ++i) {
        ASSERT_TRUE(StampOfFile(paths[i], &stamp));
        ASSERT_TRUE(store.Save(paths[i], stamp, picture));
        EXPECT_LE(store.Used(), limit);
        // The first picture is looked at all along: it is never the one to go.
        ASSERT_TRUE(StampOfFile(paths[1], &stamp));
        EXPECT_TRUE(store.Load(paths[1], stamp, 16, 16)) << i;
    }
    uintmax_t onDisk = 0;
    for (const auto& file : std::filesystem::directory_iterator(storeFolder))
        onDisk += file.file_size();
    EXPECT_EQ(onDisk, store.Used());
    ASSERT_TRUE(StampOfFile(paths.back(), &stamp));
    EXPECT_TRUE(store.Load(paths.back(), stamp, 16, 16));
    ASSERT_TRUE(StampOfFile(paths[2], &stamp));
    EXPECT_FALSE(store.Load(paths[2], stamp, 16, 16));
}

}  // namespace
}  // namespace tavrel

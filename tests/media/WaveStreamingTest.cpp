// Streaming a sound to the null device on a clock the test moves by hand: buffers, seeks,
// stops and aborts, a device that goes away, scrubbing, and a minute of play in step with the
// timeline. The ThreadSanitizer build runs this file.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <random>
#include <semaphore>
#include <thread>
#include <vector>

#include "base/DebugOutput.h"
#include "media/FallbackWaveOutDevice.h"
#include "media/NullWaveOutDevice.h"
#include "media/PortAudioWaveOutDevice.h"
#include "media/RWavePlayback.h"
#include "tests/media/WaveFiles.h"
#include "tests/support/TempFolder.h"
#include "timeline/PlaybackStepper.h"

namespace tavrel {
namespace {

using namespace tavrel::testing;

constexpr uint32_t kRate = 48000;           // mono, 16 bits: 96 bytes a millisecond
constexpr uint32_t kChunkBytes = 250 * 96;  // one buffer
constexpr int64_t kMs = 1000;               // microseconds

// Time moves only when the test says so; waits poll, so a missed wake-up costs nothing.
class CVirtualClock : public CWaveClock {
public:
    int64_t NowMicroseconds() const override { return now_; }
    void WaitUntil(std::condition_variable& condition, std::unique_lock<std::mutex>& lock,
                   int64_t) const override {
        condition.wait_for(lock, std::chrono::milliseconds(1));
    }
    void Advance(int64_t microseconds) { now_ += microseconds; }

private:
    std::atomic<int64_t> now_{5000 * kMs};
};

// Waits (in real time) until the condition holds; false if it never does.
template <typename Condition>
bool WaitFor(Condition condition) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > giveUp) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

// Each sample holds the millisecond it belongs to, so a buffer shows where it was cut from.
std::string MillisecondSamples(uint32_t milliseconds) {
    const uint32_t perMs = kRate / 1000;
    std::string bytes(size_t(milliseconds) * perMs * 2, '\0');
    for (size_t frame = 0; frame < size_t(milliseconds) * perMs; ++frame) {
        const uint32_t ms = uint32_t(frame / perMs);
        bytes[frame * 2] = char(ms & 0xFF);
        bytes[frame * 2 + 1] = char(ms >> 8);
    }
    return bytes;
}

uint16_t FirstSample(const WaveBufferRecord& record) {
    return uint16_t(record.header.data[0] | record.header.data[1] << 8);
}

// Records every notification; a test may hold the callback thread inside a fill.
class CRecordingPlayback : public CRWavePlayback {
public:
    using CRWavePlayback::CRWavePlayback;
    ~CRecordingPlayback() override { Stop(); }

    struct Records {
        std::vector<int> states;
        std::vector<uint16_t> queuedStarts;  // the millisecond each queued buffer starts at
        std::vector<uint32_t> queuedLengths;
        uint64_t advanced = 0;
    };
    Records Get() const {
        std::lock_guard lock(mutex_);
        return records_;
    }
    std::vector<int> States() const { return Get().states; }
    std::vector<uint16_t> QueuedStarts() const { return Get().queuedStarts; }
    void ClearRecords() {
        std::lock_guard lock(mutex_);
        records_ = {};
    }

    // The next fill waits until Release.
    void HoldNextFill() { hold_ = true; }
    bool IsHeldInFill() const { return held_; }
    void Release() { gate_.release(); }

protected:
    void OnStateChanged(int state) override {
        std::lock_guard lock(mutex_);
        records_.states.push_back(state);
    }
    void OnPositionAdvanced(uint64_t, const WaveBufferRecord& record) override {
        std::lock_guard lock(mutex_);
        records_.advanced += record.header.length;
    }
    void OnBeforeFill(uint32_t) override {
        if (!hold_.exchange(false)) return;
        held_ = true;
        gate_.acquire();
    }
    void OnBufferQueued(const WaveBufferRecord& record) override {
        std::lock_guard lock(mutex_);
        records_.queuedStarts.push_back(FirstSample(record));
        records_.queuedLengths.push_back(record.header.length);
    }

private:
    mutable std::mutex mutex_;
    Records records_;
    std::atomic<bool> hold_{false};
    std::atomic<bool> held_{false};
    std::binary_semaphore gate_{0};
};

class WaveStreamingTest : public ::testing::Test {
protected:
    // A player of `milliseconds` of sound on a null device driven by the test's clock.
    std::unique_ptr<CRecordingPlayback> MakePlayer(
        uint32_t milliseconds, std::unique_ptr<CNullWaveOutDevice> device = nullptr) {
        if (!device) device = std::make_unique<CNullWaveOutDevice>(clock_);
        device_ = device.get();
        auto player = std::make_unique<CRecordingPlayback>(std::move(device));
        const std::string path =
            folder_.Write("sound" + std::to_string(milliseconds) + ".wav",
                          Wav({1, 1, kRate, 16}, MillisecondSamples(milliseconds)));
        EXPECT_TRUE(player->Load(path));
        return player;
    }

    // Moves the clock, then waits until the callback thread has caught up: playing ended, or
    // enough queued that the next step cannot run the device dry.
    void Advance(CRWaveOut& player, int64_t microseconds, uint32_t lengthMs) {
        clock_->Advance(microseconds);
        ASSERT_TRUE(WaitFor([&] {
            if (!player.IsPlaying()) return true;
            const uint32_t position = player.GetPosition();
            const uint32_t left = lengthMs > position ? lengthMs - position : 0;
            return player.BufferedMilliseconds() >= std::min<uint32_t>(700, left);
        }));
    }

    // Waits until a seek has queued `count` buffers in all and set the device going again. The
    // device is paused while the seek refills it: a clock moved before it restarts is not
    // played, so a test that moved it on seeing the buffers alone would wait for ever.
    void WaitForSeek(CRecordingPlayback& player, size_t count) {
        ASSERT_TRUE(
            WaitFor([&] { return player.QueuedStarts().size() == count && device_->IsRunning(); }));
    }

    std::shared_ptr<CVirtualClock> clock_ = std::make_shared<CVirtualClock>();
    CNullWaveOutDevice* device_ = nullptr;
    TempFolder folder_;
};

TEST_F(WaveStreamingTest, PlaysToTheEndInQuarterSecondBuffersAtMostFourAhead) {
    auto player = MakePlayer(1100);
    ASSERT_TRUE(player->Play());
    EXPECT_TRUE(player->IsPlaying());
    EXPECT_EQ(player->QueuedBuffers(), 4);
    EXPECT_EQ(player->QueuedStarts(), (std::vector<uint16_t>{0, 250, 500, 750}));
    while (player->IsPlaying()) {
        Advance(*player, 40 * kMs, 1100);
        EXPECT_LE(player->QueuedBuffers(), 4);
        EXPECT_LE(player->BufferedMilliseconds(), 1000u);
    }
    EXPECT_EQ(player->QueuedStarts(), (std::vector<uint16_t>{0, 250, 500, 750, 1000}));
    EXPECT_EQ(player->Get().queuedLengths,
              (std::vector<uint32_t>{kChunkBytes, kChunkBytes, kChunkBytes, kChunkBytes, 9600}));
    EXPECT_EQ(player->Get().advanced, player->DataSize());
    EXPECT_EQ(player->States(), std::vector<int>{0});
    EXPECT_EQ(player->FreeBlocks(), 9);
    EXPECT_EQ(player->QueuedBuffers(), 0);
    EXPECT_FALSE(device_->IsOpen());
}

TEST_F(WaveStreamingTest, AStartAtOrPastTheEndQueuesNothing) {
    auto player = MakePlayer(1000);
    for (uint32_t start : {1000u, 5000u, 0xFFFFFFFFu}) {
        player->SetPosition(start);
        EXPECT_FALSE(player->Play());
        EXPECT_FALSE(player->IsPlaying());
        EXPECT_FALSE(device_->IsOpen());
        EXPECT_EQ(player->FreeBlocks(), 9);
        EXPECT_TRUE(player->States().empty());
    }
}

TEST_F(WaveStreamingTest, ASeekWhilePlayingIsCarriedOutAtOnce) {
    auto player = MakePlayer(3000);
    ASSERT_TRUE(player->Play());
    Advance(*player, 100 * kMs, 3000);
    EXPECT_EQ(player->GetPosition(), 100u);
    player->ClearRecords();
    // The clock stands still: the seek cannot wait for a buffer to come back.
    player->SetPosition(1600);
    WaitForSeek(*player, 4);
    EXPECT_EQ(player->QueuedStarts(), (std::vector<uint16_t>{1600, 1850, 2100, 2350}));
    EXPECT_EQ(player->GetPosition(), 1600u);
    Advance(*player, 300 * kMs, 3000);
    EXPECT_EQ(player->GetPosition(), 1900u);
    EXPECT_EQ(player->QueuedBuffers(), 4);
    EXPECT_EQ(player->FreeBlocks(), 5);
    EXPECT_TRUE(player->States().empty());

    // Several requests before the callback thread gets to them end where the last one asked.
    player->ClearRecords();
    player->SetPosition(200);
    player->SetPosition(400);
    // The first may have been carried out before the second came; the last one stands.
    const std::vector<uint16_t> last{400, 650, 900, 1150};
    ASSERT_TRUE(WaitFor([&] {
        const auto starts = player->QueuedStarts();
        return starts.size() >= 4 && std::equal(last.begin(), last.end(), starts.end() - 4);
    }));
    EXPECT_EQ(player->GetPosition(), 400u);
}

TEST_F(WaveStreamingTest, ASeekPastTheEndEndsPlaying) {
    auto player = MakePlayer(2000);
    ASSERT_TRUE(player->Play());
    player->SetPosition(2500);
    ASSERT_TRUE(WaitFor([&] { return !player->IsPlaying(); }));
    EXPECT_EQ(player->States(), std::vector<int>{0});
    EXPECT_EQ(player->FreeBlocks(), 9);
    EXPECT_FALSE(device_->IsOpen());
    EXPECT_EQ(player->GetPosition(), 2500u);
}

TEST_F(WaveStreamingTest, AbortEndsWithoutWaitingAndStopWaits) {
    auto player = MakePlayer(2000);
    EXPECT_FALSE(player->Abort());
    ASSERT_TRUE(player->Play());
    EXPECT_TRUE(player->Abort());
    player->Abort();  // a second abort while the first is under way adds nothing
    ASSERT_TRUE(WaitFor([&] { return !player->IsPlaying(); }));
    EXPECT_EQ(player->States(), (std::vector<int>{1, 0}));
    EXPECT_EQ(player->FreeBlocks(), 9);
    EXPECT_FALSE(device_->IsOpen());

    player->ClearRecords();
    ASSERT_TRUE(player->Play());
    Advance(*player, 300 * kMs, 2000);
    player->Stop();
    EXPECT_FALSE(player->IsPlaying());
    EXPECT_EQ(player->States(), std::vector<int>{0});
    EXPECT_EQ(player->FreeBlocks(), 9);
    EXPECT_EQ(player->QueuedBuffers(), 0);
    EXPECT_FALSE(device_->IsOpen());
    player->Stop();  // stopping twice is harmless
    EXPECT_EQ(player->States(), std::vector<int>{0});
}

TEST_F(WaveStreamingTest, LoadingOrClearingWhilePlayingStopsFirst) {
    auto player = MakePlayer(3000);
    const std::string other = folder_.Write("other.wav", Wav({1, 2, 8000, 8}, Samples(800)));
    ASSERT_TRUE(player->Play());
    ASSERT_TRUE(player->Load(other));
    EXPECT_FALSE(player->IsPlaying());
    EXPECT_EQ(player->States(), std::vector<int>{0});
    ASSERT_TRUE(player->Play());
    player->Clear();
    EXPECT_FALSE(player->IsPlaying());
    EXPECT_FALSE(device_->IsOpen());
    EXPECT_TRUE(player->Load(other));  // cleared, the same path is read again
    EXPECT_TRUE(player->HasData());
    // Loaded again unchanged, the file is not read again; rewritten, it is.
    const uint64_t size = player->DataSize();
    ASSERT_TRUE(player->Load(other));
    EXPECT_EQ(player->DataSize(), size);
    folder_.Write("other.wav", Wav({1, 2, 8000, 8}, Samples(1600)));
    ASSERT_TRUE(player->Load(other));
    EXPECT_EQ(player->DataSize(), 2 * size);
}

TEST_F(WaveStreamingTest, StopDuringAFillEndsCleanly) {
    auto player = MakePlayer(3000);
    ASSERT_TRUE(player->Play());
    player->HoldNextFill();
    // The first buffer comes back; the callback thread refills and is held there.
    clock_->Advance(260 * kMs);
    ASSERT_TRUE(WaitFor([&] { return player->IsHeldInFill(); }));
    std::thread stopper([&] { player->Stop(); });
    player->Release();
    stopper.join();
    EXPECT_FALSE(player->IsPlaying());
    EXPECT_EQ(player->States(), std::vector<int>{0});
    EXPECT_EQ(player->FreeBlocks(), 9);
    EXPECT_EQ(player->QueuedBuffers(), 0);
    EXPECT_FALSE(device_->IsOpen());
    EXPECT_TRUE(player->Play());
}

TEST_F(WaveStreamingTest, ADeviceThatGoesAwayEndsPlayingCleanly) {
    auto player = MakePlayer(3000);
    ASSERT_TRUE(player->Play());
    Advance(*player, 400 * kMs, 3000);
    device_->Disappear();
    ASSERT_TRUE(WaitFor([&] { return !player->IsPlaying(); }));
    EXPECT_EQ(player->States(), (std::vector<int>{1, 0}));
    EXPECT_EQ(player->FreeBlocks(), 9);
    EXPECT_FALSE(device_->IsOpen());
    // Nothing comes back from the lost device, and a new play opens it afresh.
    clock_->Advance(2000 * kMs);
    player->ClearRecords();
    EXPECT_TRUE(player->Play());
    EXPECT_EQ(player->QueuedBuffers(), 4);
}

TEST_F(WaveStreamingTest, ADeviceThatWillNotOpenFailsPlayOrFallsBack) {
    auto player = MakePlayer(1000);
    device_->RefuseOpen(true);
    DebugCapture debug;
    EXPECT_FALSE(player->Play());
    EXPECT_TRUE(debug.Contains("CRWaveOut::Play failed: cannot open wave device !\n"));
    EXPECT_FALSE(player->IsPlaying());
    EXPECT_EQ(player->FreeBlocks(), 9);

    auto refusing = std::make_unique<CNullWaveOutDevice>(clock_);
    refusing->RefuseOpen(true);
    auto working = std::make_unique<CNullWaveOutDevice>(clock_);
    CNullWaveOutDevice* second = working.get();
    auto fallback =
        std::make_unique<CFallbackWaveOutDevice>(std::move(refusing), std::move(working));
    CFallbackWaveOutDevice* chooser = fallback.get();
    CRWavePlayback other(std::move(fallback));
    ASSERT_TRUE(other.Load(player->Path()));
    ASSERT_TRUE(other.Play());
    EXPECT_EQ(chooser->Active(), second);
    other.Stop();
    EXPECT_EQ(chooser->Active(), nullptr);
    EXPECT_FALSE(second->IsOpen());
}

// A device whose Open waits until the test lets it go on.
class CSlowOpeningDevice : public CNullWaveOutDevice {
public:
    using CNullWaveOutDevice::CNullWaveOutDevice;
    bool Open(const WaveFormat& format, WaveOutEvents events) override {
        opening_ = true;
        gate_.acquire();
        return CNullWaveOutDevice::Open(format, std::move(events));
    }
    std::atomic<bool> opening_{false};
    std::binary_semaphore gate_{0};
};

TEST_F(WaveStreamingTest, OnlyOnePlayStartsAtATimeInTheProcess) {
    auto slow = std::make_unique<CSlowOpeningDevice>(clock_);
    CSlowOpeningDevice* slowDevice = slow.get();
    auto first = std::make_unique<CRWavePlayback>(std::move(slow));
    auto second = MakePlayer(1000);
    ASSERT_TRUE(first->Load(second->Path()));

    bool firstPlayed = false;
    std::thread starter([&] { firstPlayed = first->Play(); });
    ASSERT_TRUE(WaitFor([&] { return slowDevice->opening_.load(); }));
    EXPECT_FALSE(second->Play());
    slowDevice->gate_.release();
    starter.join();
    EXPECT_TRUE(firstPlayed);
    // Once the first has started, another may.
    EXPECT_TRUE(second->Play());
    first->Stop();
    second->Stop();
}

TEST_F(WaveStreamingTest, ScrubbingPlaysOneFrameOfSound) {
    auto player = MakePlayer(2000);
    ASSERT_TRUE(player->Scrub(30));
    EXPECT_TRUE(player->IsScrubbing());
    // Frame 30 starts at 500 ms and lasts 1/60 s: 800 samples.
    EXPECT_EQ(player->QueuedStarts(), std::vector<uint16_t>{500});
    EXPECT_EQ(player->Get().queuedLengths, std::vector<uint32_t>{1600});
    EXPECT_EQ(player->GetFrame(), 30);
    // The next frame cuts the first short, on the same open device; it starts at 516.67 ms.
    ASSERT_TRUE(player->Scrub(31));
    WaitForSeek(*player, 2);
    EXPECT_EQ(player->QueuedStarts(), (std::vector<uint16_t>{500, 516}));
    EXPECT_EQ(player->Get().queuedLengths, (std::vector<uint32_t>{1600, 1600}));
    EXPECT_TRUE(player->States().empty());
    clock_->Advance(17 * kMs);
    ASSERT_TRUE(WaitFor([&] { return !player->IsPlaying(); }));
    EXPECT_EQ(player->FreeBlocks(), 9);
    // The start position of a real play is untouched by scrubbing.
    EXPECT_EQ(player->StartPosition(), 0u);

    // A play started while a frame still sounds takes over.
    ASSERT_TRUE(player->Scrub(40));
    ASSERT_TRUE(player->Play());
    EXPECT_FALSE(player->Scrub(10));
    EXPECT_FALSE(player->IsScrubbing());
    player->Stop();
    EXPECT_FALSE(player->Scrub(-1));
    EXPECT_FALSE(player->Scrub(200));  // past the end of two seconds
}

// A minute of play driven by the timeline's stepper on the same clock as the device: after every
// 33 ms tick the sound heard and the frame shown are less than one frame apart, also across the
// loop's wraps, where the timeline moves the sound back.

TEST_F(WaveStreamingTest, AMinuteOfSoundStaysWithinOneFrameOfTheTimeline) {
    for (int lastFrame : {3599, 1199}) {
        SCOPED_TRACE(lastFrame);
        auto player = MakePlayer(60000);
        CPlaybackStepper stepper([this] { return clock_->NowMicroseconds() / kMs; });
        int frame = 0;
        int wraps = 0;
        player->SetPosition(CRWavePlayback::FrameToMilliseconds(frame));
        ASSERT_TRUE(player->Play());
        stepper.Start();
        const int64_t end = clock_->NowMicroseconds() + 59900 * kMs;
        double worst = 0;
        while (clock_->NowMicroseconds() < end) {
            Advance(*player, 33 * kMs, 60000);
            const PlaybackStep step = stepper.StepAll(frame, lastFrame);
            if (step.advanced) {
                frame = step.next;
                if (step.wrapped) {
                    ++wraps;
                    player->SetPosition(uint32_t(step.soundPositionMs));
                    ASSERT_TRUE(WaitFor([&] { return player->BufferedMilliseconds() > 0; }));
                }
            }
            const double apart = std::abs(player->GetPosition() - frame * 1000.0 / 60);
            worst = std::max(worst, apart);
            ASSERT_LE(apart, 1000.0 / 60) << "frame " << frame;
        }
        EXPECT_EQ(wraps, lastFrame == 1199 ? 2 : 0);
        EXPECT_TRUE(player->IsPlaying());
        player->Stop();
    }
}

// A sound card as the timeline meets it: opening it takes a while, and what it has played is
// heard only after its latency.
class CSlowCardDevice : public CNullWaveOutDevice {
public:
    CSlowCardDevice(std::shared_ptr<CVirtualClock> clock, int64_t openMicroseconds,
                    uint64_t latencyBytes)
        : CNullWaveOutDevice(clock),
          clock_(std::move(clock)),
          open_(openMicroseconds),
          latency_(latencyBytes) {}
    bool Open(const WaveFormat& format, WaveOutEvents events) override {
        clock_->Advance(open_);
        return CNullWaveOutDevice::Open(format, std::move(events));
    }
    uint64_t PlayedBytes() const override {
        const uint64_t played = CNullWaveOutDevice::PlayedBytes();
        return played > latency_ ? played - latency_ : 0;
    }

private:
    std::shared_ptr<CVirtualClock> clock_;
    int64_t open_;
    uint64_t latency_;
};

// The timeline's own order: its clock starts, then the sound opens the card (40 ms) and is heard
// 30 ms later; at a wrap the sound moves on the open card. The picture keeps to the sound heard.
TEST_F(WaveStreamingTest, InTheTimelinesOrderThePictureKeepsToTheSoundOfASlowCard) {
    for (int lastFrame : {3599, 599}) {
        SCOPED_TRACE(lastFrame);
        auto player =
            MakePlayer(30000, std::make_unique<CSlowCardDevice>(clock_, 40 * kMs, 30 * 96));
        CPlaybackStepper stepper([this] { return clock_->NowMicroseconds() / kMs; });
        int frame = 100;
        int wraps = 0;
        stepper.Start();
        const uint32_t startMs = CRWavePlayback::FrameToMilliseconds(frame);
        player->SetPosition(startMs);
        ASSERT_TRUE(player->Play());
        stepper.SoundStartsAt(startMs);
        const int64_t end = clock_->NowMicroseconds() + 20000 * kMs;
        while (clock_->NowMicroseconds() < end) {
            Advance(*player, 33 * kMs, 30000);
            stepper.FollowSound(player->GetPosition());
            const PlaybackStep step = stepper.StepAll(frame, lastFrame);
            if (step.advanced) frame = step.next;
            if (step.wrapped) {
                ++wraps;
                player->SetPosition(uint32_t(step.soundPositionMs));
                ASSERT_TRUE(WaitFor([&] { return player->BufferedMilliseconds() > 0; }));
                stepper.SoundStartsAt(step.soundPositionMs);
            }
            // Within half a frame either way, counted in the sound's whole milliseconds.
            const double apart = player->GetPosition() - frame * 1000.0 / 60;
            ASSERT_LE(std::abs(apart), 1000.0 / 120 + 1) << "frame " << frame;
        }
        EXPECT_EQ(wraps, lastFrame == 599 ? 2 : 0);
        EXPECT_TRUE(player->IsPlaying());
        player->Stop();
    }
}

// The picture as a viewer sees it: the timer ticks when the stepper says the next frame is due
// (up to a millisecond late), and at any moment between two ticks the sound heard is within one
// frame of the time of the frame on screen, centred on it, on the paced device and on a slow
// card, across the loop's wraps.
TEST_F(WaveStreamingTest, SampledAtAnyMomentTheSoundIsWithinOneFrameOfThePicture) {
    std::mt19937 random(34);
    std::uniform_int_distribution<int64_t> late(0, kMs);
    std::uniform_real_distribution<double> within(0, 1);
    for (bool card : {false, true}) {
        SCOPED_TRACE(card ? "slow card" : "paced device");
        std::unique_ptr<CNullWaveOutDevice> device;
        if (card) device = std::make_unique<CSlowCardDevice>(clock_, 40 * kMs, 30 * 96);
        auto player = MakePlayer(30000, std::move(device));
        CPlaybackStepper stepper([this] { return clock_->NowMicroseconds() / kMs; });
        const int lastFrame = 899;  // 15 s: a wrap in the 20 s played
        int frame = 700;
        stepper.Start();
        player->SetPosition(CRWavePlayback::FrameToMilliseconds(frame));
        ASSERT_TRUE(player->Play());
        stepper.SoundStartsAt(CRWavePlayback::FrameToMilliseconds(frame));
        std::vector<double> offsets;
        const int64_t end = clock_->NowMicroseconds() + 20000 * kMs;
        while (clock_->NowMicroseconds() < end) {
            const int64_t wait = stepper.MillisecondsToNextFrame(33) * kMs + late(random);
            const int64_t sampled = int64_t(within(random) * double(wait));
            Advance(*player, sampled, 30000);
            const double offset = player->GetPosition() - frame * 1000.0 / 60;
            offsets.push_back(offset);
            ASSERT_LE(std::abs(offset), 1000.0 / 60) << "frame " << frame;
            Advance(*player, wait - sampled, 30000);
            stepper.FollowSound(player->GetPosition());
            const PlaybackStep step = stepper.StepAll(frame, lastFrame);
            if (step.advanced) frame = step.next;
            if (step.wrapped) {
                player->SetPosition(uint32_t(step.soundPositionMs));
                ASSERT_TRUE(WaitFor([&] { return player->BufferedMilliseconds() > 0; }));
                stepper.SoundStartsAt(step.soundPositionMs);
            }
        }
        std::sort(offsets.begin(), offsets.end());
        const double median = offsets[offsets.size() / 2];
        for (double& offset : offsets) offset = std::abs(offset);
        std::sort(offsets.begin(), offsets.end());
        const double p95 = offsets[offsets.size() * 95 / 100];
        RecordProperty(card ? "card_median_ms" : "paced_median_ms", std::to_string(median));
        RecordProperty(card ? "card_p95_ms" : "paced_p95_ms", std::to_string(p95));
        std::printf("%s: %zu samples, offset median %.1f ms, 95th percentile %.1f ms\n",
                    card ? "slow card" : "paced device", offsets.size(), median, p95);
        player->Stop();
    }
}

// A sound card's position between its callbacks, in bytes of 48 kHz mono 16-bit sound (96 a
// millisecond): a callback sent 10 ms (960 bytes) after 1920 sent before, to be heard from
// t = 1000 ms on.
TEST(CardPosition, CountsTheLastCallbackOutAsItIsHeard) {
    const WaveFormat format{1, 1, kRate, kRate * 2, 2, 16, 0};
    const CardMark playing{1920, 2880, 1000 * kMs, 960};
    const CardMark afterSilence{1920, 2880, 1000 * kMs, 1920};
    struct Case {
        const char* what;
        CardMark mark;
        int64_t now;
        uint64_t heard;
    } cases[] = {
        {"as its first sample is heard", playing, 1000 * kMs, 1920},
        {"halfway through it", playing, 1005 * kMs, 2400},
        {"all of it heard, and no more", playing, 1030 * kMs, 2880},
        {"the callback before it still heard", playing, 995 * kMs, 1440},
        {"no less than was heard at the callback", playing, 900 * kMs, 960},
        {"after a pause: silence until it is heard", afterSilence, 990 * kMs, 1920},
        {"nothing sent yet", CardMark{}, 1000 * kMs, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(HeardBytes(c.mark, c.now, format), c.heard) << c.what;
    EXPECT_EQ(HeardBytes(playing, 1005 * kMs, WaveFormat{}), 0u);  // a format without blocks
}

}  // namespace
}  // namespace tavrel

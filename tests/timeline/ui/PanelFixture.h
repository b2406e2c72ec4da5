#pragma once
// A timeline panel over a fake motion side, with its dialogs, sound, video reader, clock and
// colleague replaced by recorders, and mouse events sent straight to the track windows.
#include <QApplication>
#include <QMouseEvent>
#include <deque>
#include <filesystem>
#include <map>

#include "tests/timeline/TimelineFixture.h"
#include "timeline/ui/ObjectGrid.h"
#include "timeline/ui/TimelinePanel.h"

namespace tavrel::testing {

class RecordingColleague : public CTimelineColleagueLink {
public:
    void ShowFrameSample(const FrameSample& sample) override { samples.push_back(sample); }
    void StillPoseChanged(bool on) override { still.push_back(on); }
    void PlayingChanged(bool on) override { playing.push_back(on); }
    void ShowClip(const std::string& file) override { shown.push_back(file); }
    void Request(int command, const std::string& file) override {
        requests.emplace_back(command, file);
    }
    std::vector<FrameSample> samples;
    std::vector<bool> still;
    std::vector<bool> playing;
    std::vector<std::string> shown;
    std::vector<std::pair<int, std::string>> requests;
};

class FakeDialogs : public CPanelDialogs {
public:
    std::vector<std::string> AskOpenFiles(FileKind kind) override {
        asked.push_back(kind);
        if (answers.empty()) return {};
        auto files = answers.front();
        answers.pop_front();
        return files;
    }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    int AskNumber(const std::string& question, int, int, int) override {
        messages.push_back(question);
        return number;
    }
    bool OpenVolumeControl() override {
        ++volume;
        return haveMixer;
    }

    std::deque<std::vector<std::string>> answers;
    std::vector<FileKind> asked;
    std::vector<std::string> messages;
    int volume = 0;
    int number = 0;  // the answer to AskNumber: 0 cancels
    bool haveMixer = true;
};

class FakeProbe : public CMediaProbe {
public:
    int VideoFrameCount(const std::string& path) override {
        const auto it = frames.find(std::filesystem::path(path).filename().string());
        return it == frames.end() ? -1 : it->second;
    }
    std::map<std::string, int> frames;
};

class RecordingSound : public CNullSoundPlayback {
public:
    bool Load(const std::string& path) override {
        loaded.push_back(path);
        return CNullSoundPlayback::Load(path);
    }
    void PlayFrom(int ms) override {
        CNullSoundPlayback::PlayFrom(ms);
        playedFrom.push_back(ms);
        MovedTo(ms);
    }
    void Seek(int ms) override {
        CNullSoundPlayback::Seek(ms);
        seeks.push_back(ms);
        MovedTo(ms);
    }
    void ScrubFrame(int frame) override { scrubbed.push_back(frame); }
    // With a clock, the sound is heard: it runs on that clock, `latency` ms after it starts.
    bool IsHeard() const override { return clock && IsPlaying(); }
    int PositionMs() const override {
        if (!IsHeard()) return CNullSoundPlayback::PositionMs();
        return from_ + int(std::max<int64_t>(0, *clock - started_ - latency));
    }

    const int64_t* clock = nullptr;
    int latency = 0;
    std::vector<std::string> loaded;
    std::vector<int> playedFrom;
    std::vector<int> seeks;
    std::vector<int> scrubbed;

private:
    void MovedTo(int ms) {
        from_ = ms;
        // A seek on the open device is heard after the latency too.
        if (clock) started_ = *clock;
    }
    int from_ = 0;
    int64_t started_ = 0;
};

class PanelFixture : public TimelineFixture {
protected:
    PanelFixture() {
        CTimelinePanel::Services services;
        services.sound = &sound;
        services.dialogs = &dialogs;
        services.media = &probe;
        services.clock = [this] { return now; };
        panel = std::make_unique<CTimelinePanel>(std::move(model), services);
        panel->resize(1100, 190);
        panel->show();
        panel->SetColleague(&colleague);
    }

    CTimelineModel& Model() { return panel->Model(); }
    CObjectGrid& Grid() { return panel->Grid(); }
    const CTrackMapping& Mapping() { return panel->Mapping(); }

    // Adds a clip of that many frames at a frame through the model.
    void AddClip(int frames, int at) {
        Model().SetCurrentFrame(at);
        const std::string file = "m" + std::to_string(counter++) + ".cha";
        ASSERT_TRUE(Model().AddMotionFile(UserFile(file, frames)).done);
    }
    std::vector<Range> Ranges() { return RangesOf(Model().Project()); }
    MotionClip Earliest() { return ClipsOf(Model().Project()).front(); }
    MotionClip Latest() { return ClipsOf(Model().Project()).back(); }
    // Media clips in time order.
    std::vector<MediaClip> Media() {
        const auto& list = Model().Project().mediaClips;
        return std::vector<MediaClip>(list.rbegin(), list.rend());
    }

    // The middle of a frame in a row of the motion track.
    QPoint At(int frame, int y = 33) {
        return {Mapping().XOf(frame) + int(Mapping().FrameWidth() / 2), y};
    }
    static constexpr int kMarkRow = 6, kTransitionRow = 22, kClipRow = 33;

    void Send(QWidget& w, QEvent::Type type, QPoint at, Qt::MouseButton button,
              Qt::MouseButtons held, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QMouseEvent event(type, QPointF(at), QPointF(w.mapToGlobal(at)), button, held, mods);
        QApplication::sendEvent(&w, &event);
    }
    void Press(QWidget& w, QPoint at, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        Send(w, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton, mods);
    }
    void MoveHeld(QWidget& w, QPoint at) {
        Send(w, QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton);
    }
    void Hover(QWidget& w, QPoint at) { Send(w, QEvent::MouseMove, at, Qt::NoButton, {}); }
    void Release(QWidget& w, QPoint at) {
        Send(w, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    }
    void Drag(QWidget& w, QPoint from, QPoint to) {
        Press(w, from);
        MoveHeld(w, to);
        Release(w, to);
    }
    // Right-clicks the motion track; the menu answers `choose` (0: nothing).
    void RightClick(QPoint at, int choose = 0) {
        Grid().SetMenuShower([this, choose](QMenu& menu, QPoint) {
            menuShown = true;
            (void)menu;
            return choose;
        });
        Send(Grid(), QEvent::MouseButtonPress, at, Qt::RightButton, Qt::RightButton);
    }

    int64_t now = 1000;
    RecordingColleague colleague;
    FakeDialogs dialogs;
    RecordingSound sound;
    FakeProbe probe;
    std::unique_ptr<CTimelinePanel> panel;
    bool menuShown = false;
};

}  // namespace tavrel::testing

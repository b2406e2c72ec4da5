#include "RKWindow/TimelineVideo.h"

#include <algorithm>
#include <vector>

#include "ZU2/rkDevice.h"
#include "compose/TimelineBake.h"
#include "media/RWave.h"
#include "media/VideoWriter.h"
#include "timeline/FrameSample.h"

namespace tavrel {
namespace {

constexpr int kFps = 60;

// The sound track as the encoder takes it, from the project's first frame on.
struct SoundTrack {
    std::vector<float> samples;
    int channels = 0;
    int64_t written = 0;  // sample frames given to the writer so far

    // Writes the sound up to the end of timeline frame `end` (exclusive), starting at `from`;
    // silence after the file's end keeps both tracks the same length.
    bool WriteUpTo(CVideoWriter& writer, int from, int end) {
        if (channels == 0) return true;
        const int64_t rate = writer.AudioRate();
        const int64_t target = (int64_t(end) * rate) / kFps - (int64_t(from) * rate) / kFps;
        const int64_t first = (int64_t(from) * rate) / kFps + written;
        std::vector<float> chunk(size_t(target - written) * channels, 0.0f);
        const int64_t available = int64_t(samples.size()) / channels;
        for (int64_t i = 0; i < target - written; ++i) {
            if (first + i >= available) break;
            std::copy_n(samples.begin() + (first + i) * channels, channels,
                        chunk.begin() + i * channels);
        }
        const int count = int(target - written);
        written = target;
        return count == 0 || writer.WriteAudio(chunk.data(), count);
    }
};

}  // namespace

VideoOutcome RenderTimelineVideo(CRKWindow& window, const CTimelineProject& project,
                                 const VideoExport& job, const VideoProgress& progress) {
    VideoOutcome outcome;
    const int last = job.to < 0 ? project.LastFrame() : job.to;
    if (last < 0) {
        outcome.error = "the timeline holds no motion clip";
        return outcome;
    }
    if (job.from < 0 || job.from > last || last >= CRKWindow::kMaxFrames) {
        outcome.error = "the frames must lie in 0.." + std::to_string(CRKWindow::kMaxFrames - 1) +
                        ", the first not after the last";
        return outcome;
    }
    if (IsProjectInput(project, job.out)) {
        outcome.error = job.out + " is one of the project's own files";
        return outcome;
    }
    CRWave wave;
    if (!project.soundFile.empty() && !wave.LoadWaveFile(project.soundFile))
        outcome.warning = "the sound " + project.soundFile + " cannot be read; the video is silent";
    const int width = job.width, height = job.height;
    VideoFormat format;
    format.width = width;
    format.height = height;
    format.fps = kFps;
    if (wave.HasData()) {
        format.audioRate = int(wave.Format()->samplesPerSec);
        format.audioChannels = wave.Format()->channels;
    }
    CVideoWriter writer;
    if (!writer.Open(job.out, format)) {
        outcome.error = writer.Error();
        return outcome;
    }
    outcome.codec = writer.VideoCodecName();
    SoundTrack sound;
    if (writer.AudioRate() > 0) {
        sound.channels = writer.AudioChannels();
        sound.samples = WaveAsFloat(wave, writer.AudioRate(), sound.channels);
        outcome.sound = true;
    }
    std::vector<uint32_t> pixels(size_t(width) * height);
    const int total = last - job.from + 1;
    CRKSystem& system = window.System();
    system.SetBackgroundColor(job.background[0], job.background[1], job.background[2], true);
    system.follow = true;
    window.Ghosts().SetSettings(job.ghosts);
    window.Paths().Show(job.paths);
    window.SetTimelineSource([&project] { return TimelineView{&project, 0}; });
    for (int f = job.from; f <= last; ++f) {
        window.ShowFrameSample(GetFrameSample(&project, f), 0);
        if (f == job.from) {
            // Placed around the avatar as the video starts; it keeps that place beside it.
            window.PoseCurrentFrame();
            if (job.view)
                system.PlaceCamera(*job.view);
            else
                system.PresetCamera(job.camera);
        }
        if (window.ShowCurrentFrame() != 1 || !rkReadFrame(RK_READ_COLOR, pixels.data())) {
            outcome.error = "frame " + std::to_string(f) + " could not be drawn";
            return outcome;
        }
        if (!writer.WriteFrame(pixels.data()) || !sound.WriteUpTo(writer, job.from, f + 1)) {
            outcome.error = writer.Error();
            return outcome;
        }
        if (progress && !progress(f - job.from + 1, total)) {
            outcome.cancelled = true;
            return outcome;
        }
    }
    if (!writer.Finish()) {
        outcome.error = writer.Error();
        return outcome;
    }
    outcome.frames = total;
    outcome.ok = true;
    return outcome;
}

}  // namespace tavrel

#include "media/PortAudioWaveOutDevice.h"

#include <alsa/error.h>
#include <jack/jack.h>
#include <portaudio.h>

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>

#include "base/DebugOutput.h"
#include "base/SharedLibrary.h"

namespace tavrel {
namespace {

// ALSA and JACK report every card and server they look for and do not find on stderr, dozens
// of lines on a machine without sound; they go to the debug output instead.
void AlsaMessage(const char* file, int line, const char* function, int, const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    DebugPrintf("ALSA %s:%d (%s): %s\n", file, line, function, text);
}

void JackMessage(const char* text) {
    DebugPrintf("JACK: %s\n", text);
}

// PortAudio (and through it ALSA and JACK), loaded by the first sound played (see
// SharedLibrary), typed by its own declarations.
#define TAVREL_PORTAUDIO_FUNCTIONS(X)                                                     \
    X(Pa_AbortStream) X(Pa_CloseStream) X(Pa_GetErrorText) X(Pa_GetStreamInfo)           \
    X(Pa_Initialize) X(Pa_OpenDefaultStream) X(Pa_SetStreamFinishedCallback) X(Pa_StartStream)

struct PortAudioLibrary {
#define TAVREL_PORTAUDIO_POINTER(name) decltype(&::name) name = nullptr;
    TAVREL_PORTAUDIO_FUNCTIONS(TAVREL_PORTAUDIO_POINTER)
#undef TAVREL_PORTAUDIO_POINTER
};

// Quietens ALSA and JACK where they are there; their absence only means more noise.
void RedirectSoundMessages() {
    SharedLibrary alsa({"libasound.so.2"});
    decltype(&snd_lib_error_set_handler) setAlsa = nullptr;
    if (alsa.IsOpen() && alsa.Find("snd_lib_error_set_handler", &setAlsa)) setAlsa(&AlsaMessage);
    SharedLibrary jack({"libjack.so.0"});
    decltype(&jack_set_error_function) setError = nullptr;
    decltype(&jack_set_info_function) setInfo = nullptr;
    if (jack.IsOpen() && jack.Find("jack_set_error_function", &setError) &&
        jack.Find("jack_set_info_function", &setInfo)) {
        setError(&JackMessage);
        setInfo(&JackMessage);
    }
}

std::unique_ptr<PortAudioLibrary> LoadPortAudio() {
    auto library = SharedLibrary::Load<PortAudioLibrary>(
        {"libportaudio.so.2"}, [](SharedLibrary& files, PortAudioLibrary& table) {
            bool found = true;
            TAVREL_PORTAUDIO_FUNCTIONS(TAVREL_FIND_FUNCTION)
            return found;
        });
    if (!library) return nullptr;
    RedirectSoundMessages();
    // Set up once per process and kept: setting it up scans every card, which is too slow to
    // repeat for each play.
    if (library->Pa_Initialize() != paNoError) return nullptr;
    return library;
}

// The set-up library; null when there is none (and then no sound plays).
const PortAudioLibrary* PortAudio() {
    static const std::unique_ptr<PortAudioLibrary> library = LoadPortAudio();
    return library.get();
}

PaSampleFormat SampleFormat(const WaveFormat& format) {
    if (format.formatTag == kWaveFormatFloat) return paFloat32;
    switch (format.bitsPerSample) {
        case 8:
            return paUInt8;
        case 16:
            return paInt16;
        case 24:
            return paInt24;
        default:
            return paInt32;
    }
}

int64_t SteadyMicroseconds() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

uint64_t HeardBytes(const CardMark& mark, int64_t now, const WaveFormat& format) {
    if (format.blockAlign == 0) return 0;
    const int64_t sinceHeard = (now - mark.heardAt) * int64_t(format.samplesPerSec) / 1000000;
    const int64_t frames = int64_t(mark.before / format.blockAlign) + sinceHeard;
    const int64_t sent = int64_t(mark.after / format.blockAlign);
    const int64_t heard = std::min(int64_t(mark.heard / format.blockAlign), sent);
    return uint64_t(std::clamp<int64_t>(frames, heard, sent)) * format.blockAlign;
}

CPortAudioWaveOutDevice::~CPortAudioWaveOutDevice() {
    Close();
}

bool CPortAudioWaveOutDevice::Open(const WaveFormat& format, WaveOutEvents events) {
    if (stream_ || !PortAudio()) return false;
    {
        std::lock_guard lock(mutex_);
        format_ = format;
        events_ = std::move(events);
        queue_.clear();
        headOffset_ = 0;
        played_ = 0;
        mark_ = {};
        paused_ = closing_ = lost_ = false;
    }
    PaStream* stream = nullptr;
    PaError error = PortAudio()->Pa_OpenDefaultStream(&stream, 0, format.channels, SampleFormat(format),
                                         format.samplesPerSec, paFramesPerBufferUnspecified,
                                         &CPortAudioWaveOutDevice::Callback, this);
    if (error != paNoError) {
        DebugPrintf("CPortAudioWaveOutDevice::Open failed: %s\n", PortAudio()->Pa_GetErrorText(error));
        return false;
    }
    PortAudio()->Pa_SetStreamFinishedCallback(stream, &CPortAudioWaveOutDevice::Finished);
    latencySeconds_ = 0;
    if (const PaStreamInfo* info = PortAudio()->Pa_GetStreamInfo(stream))
        latencySeconds_ = std::max(info->outputLatency, 0.0);
    stream_ = stream;
    error = PortAudio()->Pa_StartStream(stream);
    if (error != paNoError) {
        DebugPrintf("CPortAudioWaveOutDevice::Open failed: %s\n", PortAudio()->Pa_GetErrorText(error));
        Close();
        return false;
    }
    return true;
}

bool CPortAudioWaveOutDevice::Write(WaveHeader* header) {
    std::lock_guard lock(mutex_);
    if (!stream_ || lost_ || !header) return false;
    queue_.push_back(header);
    return true;
}

void CPortAudioWaveOutDevice::Reset() {
    std::lock_guard lock(mutex_);
    queue_.clear();
    headOffset_ = 0;
    played_ = 0;
    mark_ = {};
}

void CPortAudioWaveOutDevice::Pause() {
    std::lock_guard lock(mutex_);
    paused_ = true;
}

void CPortAudioWaveOutDevice::Restart() {
    std::lock_guard lock(mutex_);
    paused_ = false;
}

void CPortAudioWaveOutDevice::Close() {
    if (!stream_) return;
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    // Not under the lock: aborting waits for the callback, which takes the lock.
    PortAudio()->Pa_AbortStream(stream_);
    PortAudio()->Pa_CloseStream(stream_);
    stream_ = nullptr;
    std::lock_guard lock(mutex_);
    queue_.clear();
    events_ = {};
}

uint64_t CPortAudioWaveOutDevice::PlayedBytes() const {
    std::lock_guard lock(mutex_);
    // What has gone to the card is heard only after the card's latency.
    return HeardBytes(mark_, SteadyMicroseconds(), format_);
}

int CPortAudioWaveOutDevice::Callback(const void*, void* output, unsigned long frames,
                                      const PaStreamCallbackTimeInfo* time, unsigned long,
                                      void* self) {
    static_cast<CPortAudioWaveOutDevice*>(self)->Render(static_cast<uint8_t*>(output), frames,
                                                        time);
    return paContinue;
}

void CPortAudioWaveOutDevice::Render(uint8_t* output, unsigned long frames,
                                     const PaStreamCallbackTimeInfo* time) {
    std::lock_guard lock(mutex_);
    const uint64_t before = played_;
    // When this buffer's first sample reaches the speaker, by the stream's own times where the
    // host gives them, else by the latency it reported when the stream opened.
    double delay = latencySeconds_;
    if (time && time->outputBufferDacTime > time->currentTime)
        delay = time->outputBufferDacTime - time->currentTime;
    const int64_t now = SteadyMicroseconds();
    const int64_t heardAt = now + int64_t(delay * 1e6);
    const uint64_t heard = HeardBytes(mark_, now, format_);
    // Unsigned 8-bit samples are silent at their middle value.
    const int silence = format_.bitsPerSample == 8 ? 0x80 : 0;
    size_t wanted = size_t(frames) * format_.blockAlign;
    while (wanted > 0 && !paused_ && !queue_.empty()) {
        WaveHeader* head = queue_.front();
        const size_t take = std::min<size_t>(wanted, head->length - headOffset_);
        std::memcpy(output, head->data + headOffset_, take);
        output += take;
        wanted -= take;
        headOffset_ += uint32_t(take);
        played_ += take;
        if (headOffset_ >= head->length) {
            queue_.pop_front();
            headOffset_ = 0;
            if (events_.done) events_.done(head);
        }
    }
    std::memset(output, silence, wanted);
    // A callback of silence leaves the mark, so the sound already sent is still counted out.
    if (played_ > before) mark_ = {before, played_, heardAt, heard};
}

void CPortAudioWaveOutDevice::Finished(void* self) {
    auto* device = static_cast<CPortAudioWaveOutDevice*>(self);
    std::lock_guard lock(device->mutex_);
    // A stream that ends without being closed has lost its card.
    if (device->closing_ || device->lost_) return;
    device->lost_ = true;
    device->queue_.clear();
    if (device->events_.lost) device->events_.lost();
}

}  // namespace tavrel

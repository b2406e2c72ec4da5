#include "media/PortAudioWaveOutDevice.h"

#include <alsa/error.h>
#include <jack/jack.h>
#include <portaudio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "base/DebugOutput.h"

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

// PortAudio is set up once per process and kept: setting it up scans every card, which is
// too slow to repeat for each play.
bool InitPortAudio() {
    static const bool ok = [] {
        snd_lib_error_set_handler(&AlsaMessage);
        jack_set_error_function(&JackMessage);
        jack_set_info_function(&JackMessage);
        return Pa_Initialize() == paNoError;
    }();
    return ok;
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

}  // namespace

CPortAudioWaveOutDevice::~CPortAudioWaveOutDevice() {
    Close();
}

bool CPortAudioWaveOutDevice::Open(const WaveFormat& format, WaveOutEvents events) {
    if (stream_ || !InitPortAudio()) return false;
    {
        std::lock_guard lock(mutex_);
        format_ = format;
        events_ = std::move(events);
        queue_.clear();
        headOffset_ = 0;
        played_ = 0;
        paused_ = closing_ = lost_ = false;
    }
    PaStream* stream = nullptr;
    PaError error = Pa_OpenDefaultStream(&stream, 0, format.channels, SampleFormat(format),
                                         format.samplesPerSec, paFramesPerBufferUnspecified,
                                         &CPortAudioWaveOutDevice::Callback, this);
    if (error != paNoError) {
        DebugPrintf("CPortAudioWaveOutDevice::Open failed: %s\n", Pa_GetErrorText(error));
        return false;
    }
    Pa_SetStreamFinishedCallback(stream, &CPortAudioWaveOutDevice::Finished);
    if (const PaStreamInfo* info = Pa_GetStreamInfo(stream)) {
        const uint64_t frames = uint64_t(info->outputLatency * format.samplesPerSec);
        latencyBytes_ = frames * format.blockAlign;
    }
    stream_ = stream;
    error = Pa_StartStream(stream);
    if (error != paNoError) {
        DebugPrintf("CPortAudioWaveOutDevice::Open failed: %s\n", Pa_GetErrorText(error));
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
    Pa_AbortStream(stream_);
    Pa_CloseStream(stream_);
    stream_ = nullptr;
    std::lock_guard lock(mutex_);
    queue_.clear();
    events_ = {};
}

uint64_t CPortAudioWaveOutDevice::PlayedBytes() const {
    std::lock_guard lock(mutex_);
    // What has gone to the card is heard only after the card's latency.
    return played_ > latencyBytes_ ? played_ - latencyBytes_ : 0;
}

int CPortAudioWaveOutDevice::Callback(const void*, void* output, unsigned long frames,
                                      const PaStreamCallbackTimeInfo*, unsigned long, void* self) {
    static_cast<CPortAudioWaveOutDevice*>(self)->Render(static_cast<uint8_t*>(output), frames);
    return paContinue;
}

void CPortAudioWaveOutDevice::Render(uint8_t* output, unsigned long frames) {
    std::lock_guard lock(mutex_);
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

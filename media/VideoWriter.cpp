#include "media/VideoWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "base/FileReplacer.h"
#include "media/CodecBuffer.h"
#include "media/FfmpegLibrary.h"
#include "media/RWave.h"

namespace tavrel {

struct CVideoWriter::Impl {
    std::unique_ptr<FileReplacer::Pending> file;
    AVFormatContext* format = nullptr;
    AVCodecContext* video = nullptr;
    AVCodecContext* audio = nullptr;
    AVStream* videoStream = nullptr;
    AVStream* audioStream = nullptr;
    SwsContext* scaler = nullptr;
    AVFrame* picture = nullptr;
    AVFrame* sound = nullptr;
    AVPacket* packet = nullptr;
    CCodecBuffer input;  // the caller's picture in aligned, padded rows the scaler may overread
    int inputStride = 0;
    bool headerWritten = false;
    bool opened = false;
    int64_t videoPts = 0;
    int64_t audioPts = 0;
    int width = 0, height = 0;
    std::vector<float> pending;  // interleaved samples waiting for a whole encoder frame

    ~Impl() {
        // A file that was begun but not finished is closed before its temporary name goes.
        if (format && opened) Ffmpeg()->avio_closep(&format->pb);
        Ffmpeg()->avformat_free_context(format);
        Ffmpeg()->avcodec_free_context(&video);
        Ffmpeg()->avcodec_free_context(&audio);
        Ffmpeg()->sws_freeContext(scaler);
        Ffmpeg()->av_frame_free(&picture);
        Ffmpeg()->av_frame_free(&sound);
        Ffmpeg()->av_packet_free(&packet);
    }
};

namespace {

std::string AvError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    Ffmpeg()->av_strerror(code, text, sizeof text);
    return text;
}

// The encoder's rate nearest to the one asked for (the encoder's list ends with 0).
int SupportedRate(const AVCodec* codec, int rate) {
    if (!codec->supported_samplerates) return rate;
    int best = codec->supported_samplerates[0];
    for (const int* r = codec->supported_samplerates; *r; ++r) {
        if (std::abs(*r - rate) < std::abs(best - rate)) best = *r;
    }
    return best;
}

// Planar or interleaved float or 16-bit, whichever the encoder takes first.
AVSampleFormat PickSampleFormat(const AVCodec* codec) {
    if (!codec->sample_fmts) return AV_SAMPLE_FMT_FLTP;
    for (const AVSampleFormat* f = codec->sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f) {
        if (*f == AV_SAMPLE_FMT_FLTP || *f == AV_SAMPLE_FMT_FLT || *f == AV_SAMPLE_FMT_S16 ||
            *f == AV_SAMPLE_FMT_S16P)
            return *f;
    }
    return AV_SAMPLE_FMT_NONE;
}

// Stores interleaved float samples into the frame in its own sample format.
void FillSound(AVFrame* frame, const float* samples, int count, int channels) {
    const auto format = static_cast<AVSampleFormat>(frame->format);
    for (int i = 0; i < count; ++i) {
        for (int c = 0; c < channels; ++c) {
            const float v = std::clamp(samples[i * channels + c], -1.0f, 1.0f);
            const auto s16 = static_cast<int16_t>(std::lrint(v * 32767.0f));
            switch (format) {
                case AV_SAMPLE_FMT_FLTP:
                    reinterpret_cast<float*>(frame->data[c])[i] = v;
                    break;
                case AV_SAMPLE_FMT_FLT:
                    reinterpret_cast<float*>(frame->data[0])[i * channels + c] = v;
                    break;
                case AV_SAMPLE_FMT_S16P:
                    reinterpret_cast<int16_t*>(frame->data[c])[i] = s16;
                    break;
                default:
                    reinterpret_cast<int16_t*>(frame->data[0])[i * channels + c] = s16;
                    break;
            }
        }
    }
}

}  // namespace

CVideoWriter::CVideoWriter() = default;
CVideoWriter::~CVideoWriter() = default;

std::string CVideoWriter::VideoCodecName() const {
    return impl_ && impl_->video ? impl_->video->codec->name : "";
}

int CVideoWriter::AudioRate() const {
    return impl_ && impl_->audio ? impl_->audio->sample_rate : 0;
}

int CVideoWriter::AudioChannels() const {
    return impl_ && impl_->audio ? impl_->audio->ch_layout.nb_channels : 0;
}

bool CVideoWriter::Open(const std::string& path, const VideoFormat& f) {
    impl_.reset();
    if (!Ffmpeg()) {
        error_ = "the video library cannot be loaded";
        return false;
    }
    impl_ = std::make_unique<Impl>();
    Impl& m = *impl_;
    auto fail = [&](const std::string& why) {
        error_ = why;
        impl_.reset();
        return false;
    };
    if (f.width <= 0 || f.height <= 0 || f.width % 2 || f.height % 2 || f.fps <= 0)
        return fail("the picture size must be even and the rate above 0");
    m.width = f.width;
    m.height = f.height;
    m.file = std::make_unique<FileReplacer::Pending>(path);
    if (!m.file->IsOpen()) return fail("cannot create a file beside " + path);
    const std::string temp = m.file->TempPath();
    // The format follows the target's extension; the temporary name keeps it.
    if (Ffmpeg()->avformat_alloc_output_context2(&m.format, nullptr, nullptr, temp.c_str()) < 0 ||
        !m.format)
        return fail("no video format for the name " + path);
    const AVOutputFormat* container = m.format->oformat;

    const AVCodec* codec = Ffmpeg()->avcodec_find_encoder_by_name("libx264");
    if (!codec || Ffmpeg()->avformat_query_codec(container, codec->id, FF_COMPLIANCE_NORMAL) != 1)
        codec = Ffmpeg()->avcodec_find_encoder(AV_CODEC_ID_MPEG4);
    if (!codec) return fail("no video encoder (H.264 or MPEG-4)");
    m.video = Ffmpeg()->avcodec_alloc_context3(codec);
    m.video->width = f.width;
    m.video->height = f.height;
    m.video->time_base = AVRational{1, f.fps};
    m.video->framerate = AVRational{f.fps, 1};
    m.video->pix_fmt = AV_PIX_FMT_YUV420P;
    m.video->gop_size = f.fps;
    if (codec->id == AV_CODEC_ID_H264) {
        // Fast enough to keep up with the renderer; the quality of a clear preview.
        Ffmpeg()->av_opt_set(m.video->priv_data, "preset", "veryfast", 0);
        Ffmpeg()->av_opt_set(m.video->priv_data, "crf", "23", 0);
    } else {
        m.video->bit_rate = int64_t(f.width) * f.height * f.fps / 8;
    }
    if (container->flags & AVFMT_GLOBALHEADER) m.video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int code = Ffmpeg()->avcodec_open2(m.video, codec, nullptr);
    if (code < 0) return fail("the video encoder cannot open: " + AvError(code));
    m.videoStream = Ffmpeg()->avformat_new_stream(m.format, nullptr);
    Ffmpeg()->avcodec_parameters_from_context(m.videoStream->codecpar, m.video);
    m.videoStream->time_base = m.video->time_base;

    if (f.audioRate > 0 && f.audioChannels > 0) {
        AVCodecID id = AV_CODEC_ID_AAC;
        if (Ffmpeg()->avformat_query_codec(container, id, FF_COMPLIANCE_NORMAL) != 1)
            id = container->audio_codec;
        const AVCodec* acodec =
            id == AV_CODEC_ID_NONE ? nullptr : Ffmpeg()->avcodec_find_encoder(id);
        const AVSampleFormat sampleFormat = acodec ? PickSampleFormat(acodec) : AV_SAMPLE_FMT_NONE;
        if (sampleFormat == AV_SAMPLE_FMT_NONE) return fail("no sound encoder for " + path);
        m.audio = Ffmpeg()->avcodec_alloc_context3(acodec);
        m.audio->sample_rate = SupportedRate(acodec, f.audioRate);
        m.audio->sample_fmt = sampleFormat;
        Ffmpeg()->av_channel_layout_default(&m.audio->ch_layout, std::min(f.audioChannels, 2));
        m.audio->bit_rate = 128000;
        m.audio->time_base = AVRational{1, m.audio->sample_rate};
        if (container->flags & AVFMT_GLOBALHEADER) m.audio->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        code = Ffmpeg()->avcodec_open2(m.audio, acodec, nullptr);
        if (code < 0) return fail("the sound encoder cannot open: " + AvError(code));
        m.audioStream = Ffmpeg()->avformat_new_stream(m.format, nullptr);
        Ffmpeg()->avcodec_parameters_from_context(m.audioStream->codecpar, m.audio);
        m.audioStream->time_base = m.audio->time_base;
        m.sound = Ffmpeg()->av_frame_alloc();
        m.sound->format = m.audio->sample_fmt;
        Ffmpeg()->av_channel_layout_copy(&m.sound->ch_layout, &m.audio->ch_layout);
        m.sound->sample_rate = m.audio->sample_rate;
        m.sound->nb_samples = m.audio->frame_size > 0 ? m.audio->frame_size : 1024;
        if (Ffmpeg()->av_frame_get_buffer(m.sound, 0) < 0) return fail("out of memory");
    }

    m.picture = Ffmpeg()->av_frame_alloc();
    m.picture->format = AV_PIX_FMT_YUV420P;
    m.picture->width = f.width;
    m.picture->height = f.height;
    m.packet = Ffmpeg()->av_packet_alloc();
    m.scaler =
        Ffmpeg()->sws_getContext(f.width, f.height, AV_PIX_FMT_BGRA, f.width, f.height,
                                 AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr);
    m.inputStride = CCodecBuffer::Stride(f.width * 4);
    if (!m.picture || !m.packet || !m.scaler || Ffmpeg()->av_frame_get_buffer(m.picture, 0) < 0 ||
        !m.input.Allocate(size_t(m.inputStride) * f.height))
        return fail("out of memory");
    code = Ffmpeg()->avio_open(&m.format->pb, temp.c_str(), AVIO_FLAG_WRITE);
    if (code < 0) return fail("cannot create " + path + ": " + AvError(code));
    m.opened = true;
    code = Ffmpeg()->avformat_write_header(m.format, nullptr);
    if (code < 0) return fail("cannot write " + path + ": " + AvError(code));
    m.headerWritten = true;
    framesWritten_ = 0;
    return true;
}

namespace {

// Sends one frame (or null to flush) and writes every packet the encoder gives back.
bool Encode(AVFormatContext* format, AVCodecContext* codec, AVStream* stream, AVPacket* packet,
            AVFrame* frame, std::string* error) {
    int code = Ffmpeg()->avcodec_send_frame(codec, frame);
    while (code >= 0) {
        code = Ffmpeg()->avcodec_receive_packet(codec, packet);
        if (code == AVERROR(EAGAIN) || code == AVERROR_EOF) return true;
        if (code < 0) break;
        // Without a duration the container gives the last picture none, and players drop it.
        if (packet->duration == 0 && codec->codec_type == AVMEDIA_TYPE_VIDEO) packet->duration = 1;
        Ffmpeg()->av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
        packet->stream_index = stream->index;
        code = Ffmpeg()->av_interleaved_write_frame(format, packet);
    }
    *error = "the encoder failed: " + AvError(code);
    return false;
}

}  // namespace

bool CVideoWriter::WriteFrame(const uint32_t* pixels) {
    if (!impl_) return false;
    Impl& m = *impl_;
    if (Ffmpeg()->av_frame_make_writable(m.picture) < 0) return false;
    const size_t row = size_t(m.width) * 4;
    for (int y = 0; y < m.height; ++y)
        std::memcpy(m.input.data() + size_t(y) * m.inputStride,
                    reinterpret_cast<const uint8_t*>(pixels) + y * row, row);
    const uint8_t* source[1] = {m.input.data()};
    const int stride[1] = {m.inputStride};
    Ffmpeg()->sws_scale(m.scaler, source, stride, 0, m.height, m.picture->data,
                        m.picture->linesize);
    m.picture->pts = m.videoPts++;
    if (!Encode(m.format, m.video, m.videoStream, m.packet, m.picture, &error_)) return false;
    ++framesWritten_;
    return true;
}

bool CVideoWriter::WriteAudio(const float* samples, int frames) {
    if (!impl_ || !impl_->audio) return false;
    Impl& m = *impl_;
    const int channels = m.audio->ch_layout.nb_channels;
    m.pending.insert(m.pending.end(), samples, samples + size_t(frames) * channels);
    const int size = m.sound->nb_samples;
    size_t used = 0;
    while (m.pending.size() - used >= size_t(size) * channels) {
        if (Ffmpeg()->av_frame_make_writable(m.sound) < 0) return false;
        FillSound(m.sound, m.pending.data() + used, size, channels);
        m.sound->pts = m.audioPts;
        m.audioPts += size;
        used += size_t(size) * channels;
        if (!Encode(m.format, m.audio, m.audioStream, m.packet, m.sound, &error_)) return false;
    }
    m.pending.erase(m.pending.begin(), m.pending.begin() + used);
    return true;
}

bool CVideoWriter::Finish() {
    if (!impl_) return false;
    Impl& m = *impl_;
    bool ok = Encode(m.format, m.video, m.videoStream, m.packet, nullptr, &error_);
    if (ok && m.audio) {
        // The last samples, padded with silence to a whole encoder frame.
        const int channels = m.audio->ch_layout.nb_channels;
        const size_t rest = m.pending.size() / channels;
        if (rest > 0) {
            std::vector<float> silence((m.sound->nb_samples - rest) * channels, 0.0f);
            ok = WriteAudio(silence.data(), int(silence.size() / channels));
        }
        ok = ok && Encode(m.format, m.audio, m.audioStream, m.packet, nullptr, &error_);
    }
    if (ok) {
        const int code = Ffmpeg()->av_write_trailer(m.format);
        if (code < 0) {
            error_ = "cannot finish the file: " + AvError(code);
            ok = false;
        }
    }
    Ffmpeg()->avio_closep(&m.format->pb);
    m.opened = false;
    if (ok && !m.file->Commit()) {
        error_ = "cannot give the video its name " + m.file->Target();
        ok = false;
    }
    impl_.reset();
    return ok;
}

std::vector<float> WaveAsFloat(const CRWave& wave, int rate, int channels) {
    std::vector<float> out;
    const WaveFormat* f = wave.Format();
    if (!wave.HasData() || !f || rate <= 0 || channels <= 0 || f->channels == 0 ||
        f->samplesPerSec == 0 || f->blockAlign == 0)
        return out;
    const int bytes = f->bitsPerSample / 8;
    const bool isFloat = f->formatTag == kWaveFormatFloat;
    auto sampleAt = [&](size_t frame, int channel) -> float {
        const uint8_t* p = wave.Data() + frame * f->blockAlign + size_t(channel) * bytes;
        switch (bytes) {
            case 1:
                return (int(p[0]) - 128) / 128.0f;
            case 2:
                return int16_t(p[0] | p[1] << 8) / 32768.0f;
            case 3:
                return int32_t(uint32_t(p[0]) << 8 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 24) /
                       2147483648.0f;
            case 4: {
                uint32_t bits = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                                uint32_t(p[3]) << 24;
                if (!isFloat) return int32_t(bits) / 2147483648.0f;
                float v;
                std::memcpy(&v, &bits, sizeof v);
                return std::isfinite(v) ? v : 0.0f;
            }
            default:
                return 0.0f;
        }
    };
    const size_t inFrames = wave.DataSize() / f->blockAlign;
    if (inFrames == 0 || bytes < 1 || bytes > 4 || size_t(f->channels) * bytes > f->blockAlign)
        return out;
    const double step = double(f->samplesPerSec) / rate;
    const size_t outFrames = size_t(double(inFrames) / step);
    out.resize(outFrames * channels);
    for (size_t i = 0; i < outFrames; ++i) {
        const double t = i * step;
        const size_t k = std::min(size_t(t), inFrames - 1);
        const size_t k1 = std::min(k + 1, inFrames - 1);
        const float w = float(t - double(k));
        for (int c = 0; c < channels; ++c) {
            const int from = std::min<int>(c, f->channels - 1);
            out[i * channels + c] = sampleAt(k, from) * (1 - w) + sampleAt(k1, from) * w;
        }
    }
    return out;
}

}  // namespace tavrel

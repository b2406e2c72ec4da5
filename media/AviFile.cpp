#include "media/AviFile.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <utility>

#include "base/DebugOutput.h"
#include "base/FileReplacer.h"
#include "media/FfmpegLibrary.h"

namespace tavrel {
namespace {

constexpr AVRational kMilliseconds{1, 1000};

// The library's own complaints (a damaged packet, say) go to the program's debug output.
void ForwardLog(void*, int level, const char* format, va_list args) {
    if (level > AV_LOG_ERROR) return;
    char text[512];
    std::vsnprintf(text, sizeof(text), format, args);
    DebugOutput(std::string("CAviFile: ") + text);
}

// The library is loaded by the first file opened; false when it cannot be had.
bool StartLibrary() {
    if (!Ffmpeg()) return false;
    static std::once_flag once;
    std::call_once(once, [] { Ffmpeg()->av_log_set_callback(ForwardLog); });
    return true;
}

// Reads the streams' first packets to learn their formats; the decoders this opens refuse frames
// larger than the bounds before allocating them.
bool FindStreamInfo(AVFormatContext* format) {
    std::vector<AVDictionary*> options(format->nb_streams, nullptr);
    for (AVDictionary*& o : options)
        Ffmpeg()->av_dict_set_int(&o, "max_pixels", CAviFile::kMaxPixels, 0);
    const bool found = Ffmpeg()->avformat_find_stream_info(format, options.data()) >= 0;
    for (AVDictionary*& o : options) Ffmpeg()->av_dict_free(&o);
    return found;
}

void PutLittle(std::string& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

}  // namespace

struct CAviFile::Container {
    AVFormatContext* format = nullptr;
    AVPacket* packet = Ffmpeg()->av_packet_alloc();
    ~Container() {
        Ffmpeg()->av_packet_free(&packet);
        Ffmpeg()->avformat_close_input(&format);
    }
};

// Decodes one video stream forward, keeping the frame on screen and, when it had to be
// decoded to see where the current one ends, the next one. Going forward never seeks.
struct CAviFile::Reader {
    // Further ahead than this, a seek to the key frame before the target is cheaper.
    static constexpr int64_t kForwardLimitMs = 1000;

    struct Decoded {
        AVFrame* frame = Ffmpeg()->av_frame_alloc();
        int64_t pts = AV_NOPTS_VALUE;
        int64_t duration = 0;
        bool Valid() const { return pts != AV_NOPTS_VALUE; }
        void Reset() {
            Ffmpeg()->av_frame_unref(frame);
            pts = AV_NOPTS_VALUE;
        }
        void Swap(Decoded& other) {
            std::swap(frame, other.frame);
            std::swap(pts, other.pts);
            std::swap(duration, other.duration);
        }
        Decoded() = default;
        Decoded(const Decoded&) = delete;
        Decoded& operator=(const Decoded&) = delete;
        ~Decoded() { Ffmpeg()->av_frame_free(&frame); }
    };

    Reader(Container& file, AVStream* stream) : file(file), stream(stream) {}
    ~Reader() {
        Ffmpeg()->sws_freeContext(scaler);
        Ffmpeg()->avcodec_free_context(&codec);
    }

    bool Open();
    const CAviFrame* FrameAt(int64_t ms);
    bool Covers(int64_t target) const;
    void Seek(int64_t target);
    void DecodeUntil(int64_t target);
    bool DecodeNext();
    int64_t PresentationTime(const AVFrame* frame) const;
    bool Convert();

    Container& file;
    AVStream* stream;
    AVCodecContext* codec = nullptr;
    SwsContext* scaler = nullptr;
    Decoded current, pending, scratch;
    int64_t start = 0;          // the stream's first time stamp
    int64_t frameDuration = 1;  // in the stream's time base, for frames that do not say
    int64_t lastPts = AV_NOPTS_VALUE;
    bool draining = false;             // no more packets: the decoder gives what it holds
    bool ended = false;                // nothing more to decode
    int64_t endMs = -1;                // the stream's end, -1 when the file does not say
    bool decodeOrderTimes = false;     // the packets are numbered in decode order (AVI)
    int64_t sentDts = AV_NOPTS_VALUE;  // of the last packet the decoder took
    CAviFrame picture;
    int64_t picturePts = AV_NOPTS_VALUE;  // the decoded frame now in picture
};

bool CAviFile::Reader::Open() {
    const AVCodecParameters* parameters = stream->codecpar;
    // No size: the probe's decoder refused the frames (see FindStreamInfo).
    if (parameters->width <= 0 || parameters->height <= 0 || parameters->width > kMaxSide ||
        parameters->height > kMaxSide ||
        int64_t(parameters->width) * parameters->height > kMaxPixels) {
        DebugOutput("CAviFile: the video's frames are too large or of no size.\n");
        return false;
    }
    const AVCodec* decoder = Ffmpeg()->avcodec_find_decoder(parameters->codec_id);
    codec = decoder ? Ffmpeg()->avcodec_alloc_context3(decoder) : nullptr;
    if (!codec || Ffmpeg()->avcodec_parameters_to_context(codec, parameters) < 0) return false;
    codec->max_pixels = kMaxPixels;  // a frame that grows in the stream is refused as well
    codec->thread_count = 1;  // frames are fetched one at a time; threads only add latency
    if (Ffmpeg()->avcodec_open2(codec, decoder, nullptr) < 0) return false;
    start = stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time;
    decodeOrderTimes = std::strcmp(file.format->iformat->name, "avi") == 0;
    AVRational rate =
        stream->avg_frame_rate.num > 0 ? stream->avg_frame_rate : stream->r_frame_rate;
    if (rate.num > 0 && rate.den > 0) {
        frameDuration =
            std::max<int64_t>(1, Ffmpeg()->av_rescale_q(1, av_inv_q(rate), stream->time_base));
    }
    if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0) {
        endMs = Ffmpeg()->av_rescale_q(stream->duration, stream->time_base, kMilliseconds);
    } else if (file.format->duration != AV_NOPTS_VALUE && file.format->duration > 0) {
        endMs = Ffmpeg()->av_rescale_q(file.format->duration, AV_TIME_BASE_Q, kMilliseconds);
    }
    // A damaged time base makes the rescale overflow (into its "no value", or past any video's
    // length, which later sums of times would overflow): then no end is known.
    constexpr int64_t kLongestVideoMs = int64_t{100} * 3600 * 1000;
    if (endMs < 0 || endMs > kLongestVideoMs) endMs = -1;
    return true;
}

bool CAviFile::Reader::Covers(int64_t target) const {
    if (!current.Valid() || target < current.pts) return false;
    const int64_t end = pending.Valid() ? pending.pts : current.pts + current.duration;
    return target < end;
}

void CAviFile::Reader::Seek(int64_t target) {
    current.Reset();
    pending.Reset();
    lastPts = sentDts = AV_NOPTS_VALUE;
    draining = ended = false;
    // In AVI a key frame is numbered by its place in decode order: it may be shown after the
    // frames that follow it there, and those need the key frame before.
    if (decodeOrderTimes)
        target = std::max(start, target - (codec->has_b_frames + 2) * frameDuration);
    if (Ffmpeg()->av_seek_frame(file.format, stream->index, target, AVSEEK_FLAG_BACKWARD) < 0)
        Ffmpeg()->av_seek_frame(file.format, stream->index, start, AVSEEK_FLAG_BACKWARD);
    Ffmpeg()->avcodec_flush_buffers(codec);
}

// The next frame in presentation order into pending; false at the end of the stream.
bool CAviFile::Reader::DecodeNext() {
    while (!ended) {
        const int received = Ffmpeg()->avcodec_receive_frame(codec, scratch.frame);
        if (received == 0) {
            int64_t pts = PresentationTime(scratch.frame);
            if (pts == AV_NOPTS_VALUE)
                pts = lastPts == AV_NOPTS_VALUE ? start : lastPts + frameDuration;
            lastPts = pts;
            pending.Reset();
            Ffmpeg()->av_frame_move_ref(pending.frame, scratch.frame);
            pending.pts = pts;
            pending.duration =
                pending.frame->pkt_duration > 0 ? pending.frame->pkt_duration : frameDuration;
            return true;
        }
        if (received != AVERROR(EAGAIN) || draining) {
            ended = true;
            break;
        }
        AVPacket* packet = file.packet;
        if (Ffmpeg()->av_read_frame(file.format, packet) < 0) {
            Ffmpeg()->avcodec_send_packet(codec, nullptr);
            draining = true;
            continue;
        }
        // A damaged packet is skipped: the frames around it still come.
        if (packet->stream_index == stream->index &&
            Ffmpeg()->avcodec_send_packet(codec, packet) == 0)
            sentDts = packet->dts;
        Ffmpeg()->av_packet_unref(packet);
    }
    return false;
}

// AVI keeps no presentation times: its packets are numbered in the order they are decoded, and
// a decoder that reorders hands a frame out with the number of the packet sent has_b_frames
// later; those it still holds when the packets run out follow the last one sent. Elsewhere the
// library's best guess holds.
int64_t CAviFile::Reader::PresentationTime(const AVFrame* frame) const {
    if (!decodeOrderTimes) return frame->best_effort_timestamp;
    const int64_t delay = int64_t(codec->has_b_frames) * frameDuration;
    if (frame->pkt_dts != AV_NOPTS_VALUE) return frame->pkt_dts - delay;
    if (lastPts != AV_NOPTS_VALUE || sentDts == AV_NOPTS_VALUE) return AV_NOPTS_VALUE;
    return sentDts - delay + frameDuration;
}

void CAviFile::Reader::DecodeUntil(int64_t target) {
    for (;;) {
        if (!pending.Valid() && !DecodeNext()) return;
        // A time before the first frame shows the first frame.
        if (pending.pts > target && current.Valid()) return;
        current.Swap(pending);
        pending.Reset();
        if (current.pts + current.duration > target) return;
    }
}

bool CAviFile::Reader::Convert() {
    if (picturePts == current.pts && !picture.rgb.empty()) return true;
    const AVFrame* frame = current.frame;
    if (frame->width <= 0 || frame->height <= 0) return false;
    scaler = Ffmpeg()->sws_getCachedContext(
        scaler, frame->width, frame->height, static_cast<AVPixelFormat>(frame->format),
        frame->width, frame->height, AV_PIX_FMT_RGB24, SWS_POINT, nullptr, nullptr, nullptr);
    if (!scaler) return false;
    const int stride = CCodecBuffer::Stride(frame->width * 3);
    const size_t size = size_t(stride) * frame->height;
    if (picture.rgb.size() != size && !picture.rgb.Allocate(size)) return false;
    picture.width = frame->width;
    picture.height = frame->height;
    picture.stride = stride;
    uint8_t* planes[4] = {picture.rgb.data(), nullptr, nullptr, nullptr};
    int strides[4] = {picture.stride, 0, 0, 0};
    const int rows = Ffmpeg()->sws_scale(scaler, frame->data, frame->linesize, 0, frame->height,
                                         planes, strides);
    if (!picture.rgb.GuardIntact()) DebugOutput("CAviFile: the scaler wrote past its padding\n");
    if (rows != frame->height) {
        picture.rgb.clear();
        return false;
    }
    picturePts = current.pts;
    return true;
}

const CAviFrame* CAviFile::Reader::FrameAt(int64_t ms) {
    if (ms < 0 || (endMs >= 0 && ms >= endMs)) return nullptr;
    const int64_t target =
        start + Ffmpeg()->av_rescale_q_rnd(ms, kMilliseconds, stream->time_base, AV_ROUND_DOWN);
    if (!Covers(target)) {
        const int64_t limit =
            Ffmpeg()->av_rescale_q(kForwardLimitMs, kMilliseconds, stream->time_base);
        const bool forward =
            current.Valid() && target > current.pts && target - current.pts < limit;
        if (!forward) Seek(target);
        DecodeUntil(target);
    }
    if (!current.Valid()) return nullptr;
    // Past the last frame of a file that did not tell its length.
    if (ended && !pending.Valid() && target >= current.pts + current.duration) return nullptr;
    return Convert() ? &picture : nullptr;
}

CAviFile::CAviFile() = default;
CAviFile::~CAviFile() {
    Close();
}

bool CAviFile::IsOpen() const {
    return file_ != nullptr;
}
int CAviFile::AudioStreamCount() const {
    return static_cast<int>(audio_.size());
}
int CAviFile::VideoStreamCount() const {
    return static_cast<int>(video_.size());
}

bool CAviFile::Open(const std::string& path) {
    Close();
    if (!StartLibrary()) return false;
    auto file = std::make_unique<Container>();
    AVDictionary* options = nullptr;
    // The name is a plain file: no protocols, no playlists reaching for other files.
    Ffmpeg()->av_dict_set(&options, "protocol_whitelist", "file", 0);
    Ffmpeg()->av_dict_set(&options, "format_whitelist", "avi,mov,mp4,matroska,webm", 0);
    const std::string url = "file:" + path;
    const int opened = Ffmpeg()->avformat_open_input(&file->format, url.c_str(), nullptr, &options);
    Ffmpeg()->av_dict_free(&options);
    if (opened < 0 || !file->packet) return false;
    if (!FindStreamInfo(file->format)) return false;
    for (unsigned i = 0; i < file->format->nb_streams; ++i) {
        const AVStream* stream = file->format->streams[i];
        const AVMediaType type = stream->codecpar->codec_type;
        if (type == AVMEDIA_TYPE_AUDIO && audio_.size() < kMaxStreams) audio_.push_back(i);
        const bool picture = stream->disposition & AV_DISPOSITION_ATTACHED_PIC;
        if (type == AVMEDIA_TYPE_VIDEO && !picture && video_.size() < kMaxStreams)
            video_.push_back(i);
    }
    file_ = std::move(file);
    readers_.resize(video_.size());
    return true;
}

void CAviFile::Close() {
    readers_.clear();
    audio_.clear();
    video_.clear();
    file_.reset();
}

bool CAviFile::BeginFrames(int video) {
    if (!file_ || video < 0 || video >= VideoStreamCount()) return false;
    auto reader = std::make_unique<Reader>(*file_, file_->format->streams[video_[video]]);
    if (!reader->Open()) return false;
    readers_[video] = std::move(reader);
    return true;
}

void CAviFile::EndFrames(int video) {
    if (video >= 0 && video < static_cast<int>(readers_.size())) readers_[video].reset();
}

const CAviFrame* CAviFile::FrameAt(int video, int64_t ms) {
    if (video < 0 || video >= static_cast<int>(readers_.size()) || !readers_[video]) return nullptr;
    return readers_[video]->FrameAt(ms);
}

bool CAviFile::Format(int video, CAviFormat* format) const {
    if (!file_ || video < 0 || video >= VideoStreamCount()) return false;
    const AVCodecParameters* p = file_->format->streams[video_[video]]->codecpar;
    format->width = p->width;
    format->height = p->height;
    format->bitsPerPixel = 24;
    return true;
}

int64_t CAviFile::Duration(int video) const {
    if (!file_ || video < 0 || video >= VideoStreamCount()) return -1;
    if (readers_[video]) return readers_[video]->endMs;
    Reader probe(*file_, file_->format->streams[video_[video]]);
    return probe.Open() ? probe.endMs : -1;
}

bool CAviFile::WriteBmp(const std::string& path, const CAviFrame& frame) {
    if (frame.width <= 0 || frame.height <= 0 ||
        frame.rgb.size() < size_t(frame.stride) * frame.height)
        return false;
    const uint32_t row = (uint32_t(frame.width) * 24 + 31) / 32 * 4;
    const uint32_t pixels = row * uint32_t(frame.height);
    const uint32_t offset = 14 + 40;  // 24-bit pictures have no colour table
    std::string out;
    out.reserve(offset + pixels);
    out.append("BM", 2);
    PutLittle(out, offset + pixels, 4);
    PutLittle(out, 0, 4);  // two reserved words
    PutLittle(out, offset, 4);
    PutLittle(out, 40, 4);
    PutLittle(out, uint32_t(frame.width), 4);
    PutLittle(out, uint32_t(frame.height), 4);  // positive: bottom row first
    PutLittle(out, 1, 2);
    PutLittle(out, 24, 2);
    PutLittle(out, 0, 4);  // no compression
    PutLittle(out, pixels, 4);
    for (int i = 0; i < 4; ++i) PutLittle(out, 0, 4);  // resolution and colour counts
    std::string line(row, '\0');
    for (int y = frame.height - 1; y >= 0; --y) {
        const uint8_t* source = &frame.rgb[size_t(y) * frame.stride];
        for (int x = 0; x < frame.width; ++x) {
            line[x * 3] = static_cast<char>(source[x * 3 + 2]);  // BMP keeps blue first
            line[x * 3 + 1] = static_cast<char>(source[x * 3 + 1]);
            line[x * 3 + 2] = static_cast<char>(source[x * 3]);
        }
        out += line;
    }
    return FileReplacer::Replace(path, out);
}

}  // namespace tavrel

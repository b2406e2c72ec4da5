#pragma once
// FFmpeg's demuxers, decoders, encoders and scaler, loaded on first use (see SharedLibrary):
// every call goes through Ffmpeg()->name(...), typed by FFmpeg's own declarations.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#define TAVREL_FFMPEG_FUNCTIONS(X)                                                          \
    X(av_channel_layout_copy) X(av_channel_layout_default) X(av_dict_free) X(av_dict_set)   \
    X(av_dict_set_int) X(av_frame_alloc) X(av_frame_free) X(av_frame_get_buffer)            \
    X(av_frame_make_writable) X(av_frame_move_ref) X(av_frame_unref)                        \
    X(av_interleaved_write_frame) X(av_log_set_callback) X(av_opt_set) X(av_packet_alloc)   \
    X(av_packet_free) X(av_packet_rescale_ts) X(av_packet_unref) X(av_read_frame)           \
    X(av_rescale_q) X(av_rescale_q_rnd) X(av_seek_frame) X(av_strerror) X(av_write_trailer) \
    X(avcodec_alloc_context3) X(avcodec_find_decoder) X(avcodec_find_encoder)               \
    X(avcodec_find_encoder_by_name) X(avcodec_flush_buffers) X(avcodec_free_context)        \
    X(avcodec_open2) X(avcodec_parameters_from_context) X(avcodec_parameters_to_context)    \
    X(avcodec_receive_frame) X(avcodec_receive_packet) X(avcodec_send_frame)                \
    X(avcodec_send_packet) X(avformat_alloc_output_context2) X(avformat_close_input)        \
    X(avformat_find_stream_info) X(avformat_free_context) X(avformat_new_stream)            \
    X(avformat_open_input) X(avformat_query_codec) X(avformat_write_header) X(avio_closep)  \
    X(avio_open) X(sws_freeContext) X(sws_getCachedContext) X(sws_getContext) X(sws_scale)

namespace tavrel {

struct FfmpegLibrary {
#define TAVREL_FFMPEG_POINTER(name) decltype(&::name) name = nullptr;
    TAVREL_FFMPEG_FUNCTIONS(TAVREL_FFMPEG_POINTER)
#undef TAVREL_FFMPEG_POINTER
};

// The library, loaded by the first call from any thread; null when it cannot be had (a debug
// line says why), and then videos cannot be read or written.
const FfmpegLibrary* Ffmpeg();

}  // namespace tavrel

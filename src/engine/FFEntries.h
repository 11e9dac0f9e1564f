// Every FFmpeg entry point the engine calls, resolved at run time by TFFLoader.
// The engine never links against the libraries: code calls FFApi.<name>(...), and the build fails
// when a direct reference to an FFmpeg symbol reaches the link step (see CheckNoFFmpegSymbols.cmake).
// Adding an entry point is one line in MW_FF_ENTRY_LIST. Header inline helpers that call library
// functions (avio_tell, for example) must not be used; call the table's entry instead.
#pragma once

#include <cstdint> // the library headers need its constant macros in C++

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/bsf.h>
#include <libavdevice/avdevice.h>
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavformat/avformat.h>
#include <libavformat/avio.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/avutil.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/display.h>
#include <libavutil/fifo.h>
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
#include <libavutil/intreadwrite.h>
#include <libavutil/log.h>
#include <libavutil/mathematics.h>
#include <libavutil/opt.h>
#include <libavutil/parseutils.h>
#include <libavutil/pixdesc.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

// The library generation this table was written for; the loader opens these major versions.
static_assert(LIBAVUTIL_VERSION_MAJOR == 57, "FFmpeg 5.1 headers expected (avutil 57)");
static_assert(LIBSWRESAMPLE_VERSION_MAJOR == 4, "FFmpeg 5.1 headers expected (swresample 4)");
static_assert(LIBSWSCALE_VERSION_MAJOR == 6, "FFmpeg 5.1 headers expected (swscale 6)");
static_assert(LIBAVCODEC_VERSION_MAJOR == 59, "FFmpeg 5.1 headers expected (avcodec 59)");
static_assert(LIBAVFORMAT_VERSION_MAJOR == 59, "FFmpeg 5.1 headers expected (avformat 59)");
static_assert(LIBAVFILTER_VERSION_MAJOR == 8, "FFmpeg 5.1 headers expected (avfilter 8)");
static_assert(LIBAVDEVICE_VERSION_MAJOR == 59, "FFmpeg 5.1 headers expected (avdevice 59)");

namespace mw {

// Library indexes, in dependency order (each library's dependencies come before it).
enum TLibraryIndex : int {
    libAVUtil = 0,
    libSwResample = 1,
    libSwScale = 2,
    libAVCodec = 3,
    libAVFormat = 4,
    libAVFilter = 5,
    libAVDevice = 6,
    LibraryCount = 7
};

// X(library index, entry point name)
#define MW_FF_ENTRY_LIST(X)                                                                                  \
    X(libAVUtil, avutil_version)                                                                             \
    X(libAVUtil, av_log)                                                                                     \
    X(libAVUtil, av_log_set_callback)                                                                        \
    X(libAVUtil, av_log_set_level)                                                                           \
    X(libAVUtil, av_log_get_level)                                                                           \
    X(libAVUtil, av_malloc)                                                                                  \
    X(libAVUtil, av_free)                                                                                    \
    X(libAVUtil, av_freep)                                                                                   \
    X(libAVUtil, av_dict_get)                                                                                \
    X(libAVUtil, av_dict_set)                                                                                \
    X(libAVUtil, av_dict_free)                                                                               \
    X(libAVUtil, av_frame_alloc)                                                                             \
    X(libAVUtil, av_frame_free)                                                                              \
    X(libAVUtil, av_frame_unref)                                                                             \
    X(libAVUtil, av_frame_move_ref)                                                                          \
    X(libAVUtil, av_frame_get_buffer)                                                                        \
    X(libAVUtil, av_image_check_size)                                                                        \
    X(libAVUtil, av_get_pix_fmt_name)                                                                        \
    X(libAVUtil, av_parse_time)                                                                              \
    X(libAVUtil, av_rescale_q)                                                                               \
    X(libAVUtil, av_dict_copy)                                                                               \
    X(libAVUtil, av_get_packed_sample_fmt)                                                                   \
    X(libAVUtil, av_get_bytes_per_sample)                                                                    \
    X(libAVUtil, av_sample_fmt_is_planar)                                                                    \
    X(libAVUtil, av_get_sample_fmt_name)                                                                     \
    X(libAVUtil, av_samples_set_silence)                                                                     \
    X(libAVUtil, av_frame_make_writable)                                                                     \
    X(libAVUtil, av_frame_is_writable)                                                                       \
    X(libAVUtil, av_frame_copy_props)                                                                        \
    X(libAVUtil, av_frame_copy)                                                                              \
    X(libAVUtil, av_channel_layout_copy)                                                                     \
    X(libAVUtil, av_channel_layout_default)                                                                  \
    X(libAVUtil, av_channel_layout_uninit)                                                                   \
    X(libAVUtil, av_audio_fifo_alloc)                                                                        \
    X(libAVUtil, av_audio_fifo_free)                                                                         \
    X(libAVUtil, av_audio_fifo_write)                                                                        \
    X(libAVUtil, av_audio_fifo_read)                                                                         \
    X(libAVUtil, av_audio_fifo_size)                                                                         \
    X(libAVUtil, av_opt_set_int)                                                                             \
    X(libAVUtil, av_opt_set_bin)                                                                             \
    X(libAVUtil, av_strdup)                                                                                  \
    X(libAVUtil, av_pix_fmt_desc_get)                                                                        \
    X(libAVUtil, av_display_rotation_get)                                                                    \
    X(libAVUtil, av_image_fill_black)                                                                        \
    X(libAVUtil, av_frame_ref)                                                                               \
    X(libSwResample, swresample_version)                                                                     \
    X(libSwResample, swr_free)                                                                               \
    X(libSwResample, swr_alloc_set_opts2)                                                                    \
    X(libSwResample, swr_init)                                                                               \
    X(libSwResample, swr_convert)                                                                            \
    X(libSwResample, swr_set_compensation)                                                                   \
    X(libSwResample, swr_get_out_samples)                                                                    \
    X(libSwResample, swr_alloc)                                                                              \
    X(libAVUtil, av_fifo_freep2)                                                                             \
    X(libAVUtil, av_opt_find)                                                                                \
    X(libAVUtil, av_opt_find2)                                                                               \
    X(libAVUtil, av_opt_set)                                                                                 \
    X(libAVUtil, av_opt_get)                                                                                 \
    X(libAVUtil, av_opt_get_int)                                                                             \
    X(libAVUtil, av_opt_next)                                                                                \
    X(libAVUtil, av_parse_video_rate)                                                                        \
    X(libAVUtil, av_parse_video_size)                                                                        \
    X(libAVUtil, av_get_pix_fmt)                                                                             \
    X(libAVUtil, av_get_sample_fmt)                                                                          \
    X(libAVUtil, av_pix_fmt_desc_next)                                                                       \
    X(libAVUtil, av_pix_fmt_desc_get_id)                                                                     \
    X(libAVUtil, av_reduce)                                                                                  \
    X(libAVUtil, av_set_options_string)                                                                      \
    X(libAVUtil, av_strerror)                                                                                \
    X(libSwScale, sws_get_class)                                                                             \
    X(libSwScale, sws_alloc_context)                                                                         \
    X(libSwScale, swscale_version)                                                                           \
    X(libSwScale, sws_getCachedContext)                                                                      \
    X(libSwScale, sws_freeContext)                                                                           \
    X(libSwScale, sws_scale)                                                                                 \
    X(libAVCodec, avcodec_version)                                                                           \
    X(libAVCodec, avcodec_find_decoder)                                                                      \
    X(libAVCodec, avcodec_find_encoder)                                                                      \
    X(libAVCodec, avcodec_find_encoder_by_name)                                                              \
    X(libAVCodec, avcodec_find_decoder_by_name)                                                              \
    X(libAVCodec, av_codec_iterate)                                                                          \
    X(libAVCodec, av_codec_is_encoder)                                                                       \
    X(libAVCodec, av_codec_is_decoder)                                                                       \
    X(libAVCodec, avcodec_get_class)                                                                         \
    X(libAVCodec, avcodec_parameters_from_context)                                                           \
    X(libAVCodec, av_bsf_get_by_name)                                                                        \
    X(libAVCodec, av_bsf_free)                                                                               \
    X(libAVCodec, avcodec_get_name)                                                                          \
    X(libAVCodec, avcodec_alloc_context3)                                                                    \
    X(libAVCodec, avcodec_free_context)                                                                      \
    X(libAVCodec, avcodec_parameters_to_context)                                                             \
    X(libAVCodec, avcodec_open2)                                                                             \
    X(libAVCodec, avcodec_send_packet)                                                                       \
    X(libAVCodec, avcodec_receive_frame)                                                                     \
    X(libAVCodec, avcodec_send_frame)                                                                        \
    X(libAVCodec, avcodec_receive_packet)                                                                    \
    X(libAVCodec, avcodec_flush_buffers)                                                                     \
    X(libAVCodec, av_packet_alloc)                                                                           \
    X(libAVCodec, av_packet_free)                                                                            \
    X(libAVCodec, av_packet_unref)                                                                           \
    X(libAVCodec, avcodec_parameters_copy)                                                                   \
    X(libAVCodec, av_packet_ref)                                                                             \
    X(libAVCodec, av_packet_rescale_ts)                                                                      \
    X(libAVCodec, av_packet_get_side_data)                                                                   \
    X(libAVCodec, av_bsf_alloc)                                                                              \
    X(libAVCodec, av_bsf_init)                                                                               \
    X(libAVCodec, av_bsf_send_packet)                                                                        \
    X(libAVCodec, av_bsf_receive_packet)                                                                     \
    X(libAVCodec, avcodec_decode_subtitle2)                                                                  \
    X(libAVCodec, avcodec_encode_subtitle)                                                                   \
    X(libAVCodec, avsubtitle_free)                                                                           \
    X(libAVCodec, avcodec_descriptor_get)                                                                    \
    X(libAVCodec, av_new_packet)                                                                             \
    X(libAVUtil, av_get_picture_type_char)                                                                   \
    X(libAVUtil, av_mallocz)                                                                                 \
    X(libAVUtil, av_realloc_array)                                                                           \
    X(libAVFormat, av_pkt_dump_log2)                                                                         \
    X(libAVFormat, av_sdp_create)                                                                            \
    X(libAVFormat, avformat_version)                                                                         \
    X(libAVFormat, avformat_alloc_context)                                                                   \
    X(libAVFormat, avformat_free_context)                                                                    \
    X(libAVFormat, avformat_alloc_output_context2)                                                           \
    X(libAVFormat, avformat_new_stream)                                                                      \
    X(libAVFormat, avformat_get_class)                                                                       \
    X(libAVFormat, av_guess_format)                                                                          \
    X(libAVFormat, av_guess_codec)                                                                           \
    X(libAVFormat, av_muxer_iterate)                                                                         \
    X(libAVFormat, av_filename_number_test)                                                                  \
    X(libAVFormat, avformat_query_codec)                                                                     \
    X(libAVFormat, av_dump_format)                                                                           \
    X(libAVFormat, avio_open2)                                                                               \
    X(libAVFormat, avio_closep)                                                                              \
    X(libAVFormat, avformat_open_input)                                                                      \
    X(libAVFormat, avformat_close_input)                                                                     \
    X(libAVFormat, avformat_find_stream_info)                                                                \
    X(libAVFormat, av_find_input_format)                                                                     \
    X(libAVFormat, av_read_frame)                                                                            \
    X(libAVFormat, av_seek_frame)                                                                            \
    X(libAVFormat, avio_find_protocol_name)                                                                  \
    X(libAVFormat, avio_alloc_context)                                                                       \
    X(libAVFormat, avio_context_free)                                                                        \
    X(libAVFormat, avio_size)                                                                                \
    X(libAVFormat, avio_seek)                                                                                \
    X(libAVFormat, avio_feof)                                                                                \
    X(libAVFormat, avio_read)                                                                                \
    X(libAVFormat, avio_write)                                                                               \
    X(libAVFormat, avio_flush)                                                                               \
    X(libAVFormat, avformat_write_header)                                                                    \
    X(libAVFormat, av_interleaved_write_frame)                                                               \
    X(libAVFormat, av_write_trailer)                                                                         \
    X(libAVFormat, av_codec_get_id)                                                                          \
    X(libAVFormat, av_codec_get_tag2)                                                                        \
    X(libAVFormat, av_stream_get_side_data)                                                                  \
    X(libAVFormat, av_stream_new_side_data)                                                                  \
    X(libAVFilter, avfilter_version)                                                                         \
    X(libAVFilter, avfilter_get_by_name)                                                                     \
    X(libAVFilter, avfilter_graph_alloc)                                                                     \
    X(libAVFilter, avfilter_graph_free)                                                                      \
    X(libAVFilter, avfilter_graph_create_filter)                                                             \
    X(libAVFilter, avfilter_link)                                                                            \
    X(libAVFilter, avfilter_inout_alloc)                                                                     \
    X(libAVFilter, avfilter_inout_free)                                                                      \
    X(libAVFilter, avfilter_graph_parse_ptr)                                                                 \
    X(libAVFilter, avfilter_graph_config)                                                                    \
    X(libAVFilter, av_buffersrc_add_frame_flags)                                                             \
    X(libAVFilter, av_buffersink_get_frame)                                                                  \
    X(libAVFilter, av_buffersink_get_w)                                                                      \
    X(libAVFilter, av_buffersink_get_h)                                                                      \
    X(libAVDevice, avdevice_version)                                                                         \
    X(libAVDevice, avdevice_register_all)

// One slot per entry point, typed after the library's own declaration; empty while not loaded.
struct TFFEntries {
#define MW_FF_DECLARE_ENTRY(lib, name) decltype(&::name) name = nullptr;
    MW_FF_ENTRY_LIST(MW_FF_DECLARE_ENTRY)
#undef MW_FF_DECLARE_ENTRY
};

extern TFFEntries FFApi;

} // namespace mw

#include "engine/FFUtils.h"

#include "engine/FFLoad.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace mw {

void FixTimeBase(AVStream* st) {
    if (st->time_base.den == 0) {
        st->time_base.den = st->time_base.num;
        if (st->time_base.den == 0) st->time_base.den = 1;
    }
}

namespace {

struct TErrorTextRow {
    int Error;
    const char* Text;
};

// FFmpeg's own error tags.
const TErrorTextRow ErrorTagTexts[] = {
    {AVERROR_MUXER_NOT_FOUND, "Muxer not found"},
    {AVERROR_STREAM_NOT_FOUND, "Stream not found"},
    {AVERROR_PROTOCOL_NOT_FOUND, "Protocol not found"},
    {AVERROR_DEMUXER_NOT_FOUND, "Demuxer not found"},
    {AVERROR_FILTER_NOT_FOUND, "Filter not found"},
    {AVERROR_BSF_NOT_FOUND, "Bitstream filter not found"},
    {AVERROR_PATCHWELCOME, "Not yet implemented in FFmpeg"},
    {AVERROR_ENCODER_NOT_FOUND, "Encoder not found"},
    {AVERROR_DECODER_NOT_FOUND, "Decoder not found"},
    {AVERROR_OPTION_NOT_FOUND, "Option not found"},
    {AVERROR_INVALIDDATA, "Invalid data found when processing input"},
    {AVERROR_EOF, "End of file"},
    {AVERROR_EXIT, "Immediate exit requested"},
    {AVERROR_BUG, "Internal bug, should not have happened"},
    {AVERROR_BUG2, "Internal bug, should not have happened"},
    {AVERROR_BUFFER_TOO_SMALL, "Buffer too small"},
    {AVERROR_EXTERNAL, "Generic error in an external library"},
    {AVERROR_UNKNOWN, "Unknown error occurred"},
    {AVERROR_EXPERIMENTAL, "Experimental feature"},
    {AVERROR_INPUT_CHANGED, "Input changed"},
    {AVERROR_OUTPUT_CHANGED, "Output changed"},
    {AVERROR_HTTP_BAD_REQUEST, "Server returned 400 Bad Request"},
    {AVERROR_HTTP_UNAUTHORIZED, "Server returned 401 Unauthorized (authorization failed)"},
    {AVERROR_HTTP_FORBIDDEN, "Server returned 403 Forbidden (access denied)"},
    {AVERROR_HTTP_NOT_FOUND, "Server returned 404 Not Found"},
    {AVERROR_HTTP_OTHER_4XX, "Server returned 4XX Client Error, but not one of 40{0,1,3,4}"},
    {AVERROR_HTTP_SERVER_ERROR, "Server returned 5XX Server Error reply"},
};

} // namespace

std::string FFErrorText(int error) {
    for (const auto& row : ErrorTagTexts)
        if (row.Error == error) return row.Text;
    // Negated system error numbers (AVERROR(e) == -e on this platform).
    if (error < 0 && error > -4096) {
        char buf[256];
        const char* text = ::strerror_r(-error, buf, sizeof buf);
        if (text && std::strncmp(text, "Unknown error", 13) != 0) return text;
    }
    return "Error number " + std::to_string(error) + " occurred";
}

void TOutputContextFree::operator()(AVFormatContext* c) const {
    if (!c) return;
    if (c->oformat && !(c->oformat->flags & AVFMT_NOFILE) && !(c->flags & AVFMT_FLAG_CUSTOM_IO))
        FFApi.avio_closep(&c->pb);
    FFApi.avformat_free_context(c);
}

bool EncoderUsesThreads(const std::string& codecName) {
    if (codecName.empty() || !FFApi.avcodec_find_encoder_by_name) return false;
    const AVCodec* codec = FFApi.avcodec_find_encoder_by_name(codecName.c_str());
    constexpr int Threaded =
        AV_CODEC_CAP_FRAME_THREADS | AV_CODEC_CAP_SLICE_THREADS | AV_CODEC_CAP_OTHER_THREADS;
    return codec && (codec->capabilities & Threaded);
}

std::string FormatText(const char* format, ...) {
    char buf[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buf, sizeof buf, format, args);
    va_end(args);
    return buf;
}

AVFrame* WritablePicture(TFramePtr& slot, int width, int height, int format) {
    AVFrame* frame = slot.get();
    if (frame && frame->buf[0] && frame->width == width && frame->height == height &&
        frame->format == format && FFApi.av_frame_is_writable(frame))
        return frame;
    // An encoder or a filter graph may still hold the previous picture: take a fresh one.
    if (!frame) {
        slot.reset(FFApi.av_frame_alloc());
        frame = slot.get();
        if (!frame) return nullptr;
    }
    FFApi.av_frame_unref(frame);
    frame->width = width;
    frame->height = height;
    frame->format = format;
    if (FFApi.av_frame_get_buffer(frame, 0) < 0) {
        FFApi.av_frame_unref(frame);
        return nullptr;
    }
    return frame;
}

void CopyPictureProps(AVFrame* target, const AVFrame* picture) {
    // Field by field: copying side data onto a reused picture would pile it up frame after frame.
    target->pts = picture->pts;
    target->pkt_dts = picture->pkt_dts;
    target->best_effort_timestamp = picture->best_effort_timestamp;
    target->pkt_duration = picture->pkt_duration;
    target->pict_type = picture->pict_type;
    target->key_frame = picture->key_frame;
    target->quality = picture->quality;
    target->repeat_pict = picture->repeat_pict;
    target->interlaced_frame = picture->interlaced_frame;
    target->top_field_first = picture->top_field_first;
    target->sample_aspect_ratio = picture->sample_aspect_ratio;
    target->color_range = picture->color_range;
    target->color_primaries = picture->color_primaries;
    target->color_trc = picture->color_trc;
    target->colorspace = picture->colorspace;
    target->chroma_location = picture->chroma_location;
}

bool SubtitleFitsEncoder(AVCodecID input, AVCodecID encoder) {
    const int kinds = AV_CODEC_PROP_TEXT_SUB | AV_CODEC_PROP_BITMAP_SUB;
    const AVCodecDescriptor* in = FFApi.avcodec_descriptor_get(input);
    const AVCodecDescriptor* out = FFApi.avcodec_descriptor_get(encoder);
    if (!in || !out || !(in->props & kinds) || !(out->props & kinds)) return true;
    return (in->props & out->props & kinds) != 0;
}

int StreamRotationDegrees(const AVStream* stream) {
    double degrees = 0;
    size_t size = 0;
    if (const uint8_t* matrix = FFApi.av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
        matrix && size >= 9 * sizeof(int32_t)) {
        // The matrix turns counter-clockwise; what the viewer needs is the opposite turn.
        const double angle = FFApi.av_display_rotation_get(reinterpret_cast<const int32_t*>(matrix));
        if (!std::isfinite(angle)) return 0;
        degrees = -angle;
    } else if (const AVDictionaryEntry* tag = FFApi.av_dict_get(stream->metadata, "rotate", nullptr, 0)) {
        char* end = nullptr;
        degrees = std::strtod(tag->value, &end);
        if (end == tag->value || !std::isfinite(degrees) || std::fabs(degrees) > 1e6) return 0;
    }
    long rounded = std::lround(degrees) % 360;
    if (rounded < 0) rounded += 360;
    return static_cast<int>(rounded);
}

int OpenCodecLocked(AVCodecContext* context, const AVCodec* codec, AVDictionary** options) {
    TCodecLockGuard lock;
    return FFApi.avcodec_open2(context, codec, options);
}

void FreeCodecLocked(TCodecContextPtr& context) {
    if (!context) return;
    TCodecLockGuard lock;
    context.reset();
}

} // namespace mw
